#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/http_api.h"

// A small driver over the platform HTTP interface for tests: one session, and a request sent to a
// URL with optional header lines and body, its status, head and body read back.
namespace corvelle::platform::testing {

struct Response {
  bool sent = false;
  bool received = false;
  std::uint32_t error = 0;  // HttpGetLastError after the first failing step
  int status = 0;
  std::string statusText;
  std::string head;
  std::string body;
  bool bodyComplete = false;
};

class Client {
 public:
  explicit Client(std::u16string_view userAgent = u"corvelle-test");
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  [[nodiscard]] HttpHandle Session() const { return session_; }
  // Opens (or reuses, for the same host and port) a connection and a request for `url`.
  [[nodiscard]] HttpHandle Open(std::string_view method, std::string_view url);
  // Sends the open request with `body`, receives, and reads head and (when `readBody`) the whole body.
  Response Finish(std::string_view body = {}, bool readBody = true);
  // Open + header lines + Finish.
  Response Fetch(std::string_view method, std::string_view url, std::string_view headerLines = {},
                 std::string_view body = {});
  [[nodiscard]] HttpHandle Request() const { return request_; }
  [[nodiscard]] HttpHandle Connection() const { return connection_; }
  void SetShortTimeouts(int ms);

 private:
  HttpHandle session_ = 0;
  HttpHandle connection_ = 0;
  HttpHandle request_ = 0;
  std::u16string host_;
  std::uint16_t port_ = 0;
};

// A query of HttpQueryHeaders done the size-first way, as UTF-8; empty on failure.
[[nodiscard]] std::string QueryText(HttpHandle request, std::uint32_t infoLevel);
[[nodiscard]] std::u16string Wide(std::string_view ascii);

}  // namespace corvelle::platform::testing
