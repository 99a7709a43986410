#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

// Debian's nginx (/usr/sbin/nginx) run in the foreground on 127.0.0.1 with a configuration of its own
// in a temporary folder, for tests that want a real, independent web server. nginx cannot listen on
// port 0, so a free port is picked by binding port 0 and closing it; a start that loses the port to
// someone else is retried with another. The destructor stops nginx and removes the folder.
//
// What it serves (keep-alive on):
//   /index.html   static "hello from nginx\n"
//   /big.bin      static, 262144 bytes: byte i is i % 251
//   /redirect     302 to /index.html
//   /hop          302 to /index.html, setting the cookie "hop=1; Path=/" on the way
//   /set-cookie   200 "cookie set\n" with "Set-Cookie: nginx=1; Path=/"
//   /chunked/     a body sent with chunked transfer encoding (no Content-Length)
// Further static files can be written under Root() at any time.
namespace corvelle::testing {

class NginxServer {
 public:
  NginxServer();
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  // False when nginx could not be started (the tests using it should then fail, not skip).
  [[nodiscard]] bool Running() const { return pid_ > 0; }
  [[nodiscard]] std::uint16_t Port() const { return port_; }
  // "http://127.0.0.1:port"
  [[nodiscard]] std::string Origin() const;
  [[nodiscard]] const std::filesystem::path& Root() const { return root_; }

 private:
  bool StartOnce();
  void Stop();

  std::filesystem::path folder_;
  std::filesystem::path root_;
  std::uint16_t port_ = 0;
  pid_t pid_ = -1;
};

// The bytes /big.bin holds.
[[nodiscard]] std::string NginxBigFileContent();

}  // namespace corvelle::testing
