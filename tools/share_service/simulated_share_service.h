#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "share_setup.h"

namespace corvelle::share_service {

// One request as the service received it, and how it was judged.
struct LoggedRequest {
  bool https = false;
  std::string connection;  // remote address and port: one value per connection
  std::string method;
  std::string target;  // path and query exactly as sent
  std::string path;
  // As the server library hands them over: names in sorted order, percent escapes in values decoded.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  int status = 0;
  // Why the request was refused as not what the protocol expects; empty when it was accepted.
  std::string rejection;

  [[nodiscard]] std::string Header(std::string_view name) const;  // first header of that name, any case
};

// The identifiers a share page carries.
struct ShareFacts {
  std::string uk;
  std::string shareid;
  std::string fsId;  // the first file's id
  std::string sign;
  std::string timestamp;
};

// Speaks the service's side of the share protocol on loopback, over HTTP and over HTTPS (with a
// certificate made at start-up): share pages under "/s/1<surl>", "/share/init", "/share/verify",
// "/api/sharedownload", "/api/getvcode" and the captcha images it names. Every request is logged; a
// request that is not what the protocol expects is answered with an error (JSON errno 2 or an HTML
// page without identifiers, status 400) and the log says why.
class SimulatedShareService {
 public:
  struct Options {
    std::string host = "127.0.0.1";
    bool http = true;
    bool https = true;
    int httpPort = 0;        // 0: any free port
    int httpsPort = 0;       // 0: any free port
    std::string certOut;     // where the certificate's PEM file goes; empty: a temporary file
    std::uint32_t seed = 0;  // 0: identifiers and captcha answers differ on every run
  };

  SimulatedShareService();
  explicit SimulatedShareService(Options options);
  ~SimulatedShareService();
  SimulatedShareService(const SimulatedShareService&) = delete;
  SimulatedShareService& operator=(const SimulatedShareService&) = delete;

  // Binds the ports and starts serving; false when a port or the certificate could not be set up.
  [[nodiscard]] bool Start();
  void Stop();

  [[nodiscard]] int HttpPort() const;
  [[nodiscard]] int HttpsPort() const;
  [[nodiscard]] std::string HttpOrigin() const;   // "http://127.0.0.1:port"
  [[nodiscard]] std::string HttpsOrigin() const;  // "https://127.0.0.1:port"
  [[nodiscard]] std::string CertPath() const;     // PEM file a client can trust through SSL_CERT_FILE

  // Adds or replaces a share; may be called while the service runs.
  void AddShare(ShareSetup share);
  [[nodiscard]] static std::string LinkPath(std::string_view surl);  // "/s/1" + surl
  [[nodiscard]] std::optional<ShareFacts> Facts(std::string_view surl) const;
  // The "BDCLND" value the right password of a protected share sets.
  [[nodiscard]] std::string Bdclnd(std::string_view surl) const;

  // The answer of the captcha most recently handed out, and of a given captcha id.
  [[nodiscard]] std::string LastCaptchaAnswer() const;
  [[nodiscard]] std::optional<std::string> CaptchaAnswer(std::string_view vcode) const;

  [[nodiscard]] std::vector<LoggedRequest> Requests() const;
  void ClearLog();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace corvelle::share_service
