#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One libcurl transfer at a time over the kept-alive connections of one connection handle. libcurl
// performs single exchanges only: no redirect following, no cookie engine, no default headers the
// caller did not ask for (the caller passes the removal entries). The transfer is driven by hand so
// that the response head can be handed out as soon as it has arrived while the body stays on the
// network until it is read.
namespace corvelle::platform::detail {

struct TransferSetup {
  std::string url;                       // absolute, already escaped for the wire
  std::string method;                    // as it goes on the wire
  const std::string* body = nullptr;     // null: a request without body; must outlive the transfer
  std::vector<std::string> headerLines;  // libcurl header entries ("Name: value", "Name;", "Name:")
  std::string userAgent;                 // empty: no User-Agent unless a header line names one
  bool useProxy = false;
  std::string proxy;
  std::string proxyUser;
  std::string proxyPassword;
  bool basicAuth = false;
  std::string user;
  std::string password;
  bool verifyPeer = true;
  bool verifyHost = true;
  int connectTimeoutMs = 0;  // 0: no limit of ours
  int sendTimeoutMs = 0;     // longest silence while the request goes out; 0: none
  int receiveTimeoutMs = 0;  // longest silence while waiting for the response; 0: none
};

class CurlTransfer {
 public:
  // Null when libcurl cannot be set up.
  static std::unique_ptr<CurlTransfer> Create();
  ~CurlTransfer();
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  // Starts an exchange, ending one still running as Discard does. A setup that switches verification
  // off is first tried with verification on, and only a rejected certificate makes it try once more
  // as asked. Answers 0 or an error code of http_api.h.
  [[nodiscard]] std::uint32_t Start(const TransferSetup& setup);
  // Waits until the request has gone out (or the exchange ended).
  [[nodiscard]] std::uint32_t WaitUntilSent();
  // Waits for the head of the final (non-1xx) response.
  [[nodiscard]] std::uint32_t WaitForHead();
  // The head: status line and header lines, each ended by CRLF, then an empty line.
  [[nodiscard]] const std::string& HeadBlock() const { return head_; }
  // Body bytes that can be read now, pulling from the network when none are buffered; 0 at the end.
  [[nodiscard]] std::uint32_t Available(std::size_t& available);
  // Copies buffered body bytes only; answers how many.
  std::size_t Read(void* buffer, std::size_t size);
  // Ends the exchange so the connection can carry the next one: a small rest of the body that arrives
  // promptly is read and dropped, keeping the connection alive; a longer or slower rest, or an exchange
  // whose head has not arrived yet, ends the connection too.
  void Discard();
  // Ends the exchange; a connection with unread data is closed rather than reused.
  void Abort();

  // Called by the libcurl callbacks only.
  std::size_t OnHeader(const char* data, std::size_t length);
  std::size_t OnBody(const char* data, std::size_t length);
  void OnProgress(long long uploaded);

 private:
  struct Handles;
  CurlTransfer();
  using Clock = std::chrono::steady_clock;
  template <typename Satisfied>
  std::uint32_t Drive(Satisfied satisfied, Clock::time_point deadline = Clock::time_point::max());
  std::uint32_t Pull(Clock::time_point deadline);
  std::uint32_t Launch(const TransferSetup& setup);
  [[nodiscard]] bool CertificateRejected() const;
  std::uint32_t FailureCode() const;
  void CollectFinished();
  [[nodiscard]] std::size_t Buffered() const { return body_.size() - bodyRead_; }
  [[nodiscard]] bool RequestSent() const;

  std::unique_ptr<Handles> handles_;
  std::optional<TransferSetup> lenientRetry_;  // the setup to try once the certificate was rejected
  bool attached_ = false;
  bool done_ = false;
  int result_ = 0;  // the CURLcode of a finished exchange
  bool headComplete_ = false;
  bool headOverflow_ = false;
  bool timedOut_ = false;
  bool paused_ = false;
  std::string head_;
  std::string body_;
  std::size_t bodyRead_ = 0;
  long long uploadTotal_ = 0;
  long long uploaded_ = 0;
  int sendTimeoutMs_ = 0;
  int receiveTimeoutMs_ = 0;
  Clock::time_point lastActivity_;
};

}  // namespace corvelle::platform::detail
