#pragma once

#include <httplib.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

// A cpp-httplib server on 127.0.0.1 with a port the system picks, plain HTTP or HTTPS with the
// process's TestCertificate. Add routes through Routes() before Start(); the destructor stops the server
// and joins its thread.
namespace corvelle::testing {

class LocalHttpServer {
 public:
  enum class Scheme { kHttp, kHttps };

  explicit LocalHttpServer(Scheme scheme = Scheme::kHttp);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  [[nodiscard]] httplib::Server& Routes() { return *server_; }
  // Binds, starts serving and waits (bounded) until the server runs. False when that failed.
  [[nodiscard]] bool Start();
  void Stop();

  [[nodiscard]] std::uint16_t Port() const { return port_; }
  // "http://127.0.0.1:port" or "https://127.0.0.1:port"
  [[nodiscard]] std::string Origin() const;

 private:
  Scheme scheme_;
  std::unique_ptr<httplib::Server> server_;
  std::uint16_t port_ = 0;
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

}  // namespace corvelle::testing
