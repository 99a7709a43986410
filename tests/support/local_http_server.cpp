#include "support/local_http_server.h"

#include <chrono>

#include "support/test_certificate.h"

namespace corvelle::testing {

LocalHttpServer::LocalHttpServer(Scheme scheme) : scheme_(scheme) {
  if (scheme == Scheme::kHttps) {
    const auto& certificate = TestCertificate::Instance();
    server_ = std::make_unique<httplib::SSLServer>(certificate.Certificate(), certificate.Key());
  } else {
    server_ = std::make_unique<httplib::Server>();
  }
}

LocalHttpServer::~LocalHttpServer() {
  Stop();
}

bool LocalHttpServer::Start() {
  if (thread_.joinable() || !server_->is_valid()) {
    return false;
  }
  const int port = server_->bind_to_any_port("127.0.0.1");
  if (port <= 0) {
    return false;
  }
  port_ = static_cast<std::uint16_t>(port);
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    finished_ = true;
  });
  // stop() only reaches a server whose loop already runs, so wait for it before handing out the port.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!server_->is_running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return server_->is_running();
}

void LocalHttpServer::Stop() {
  if (!thread_.joinable()) {
    return;
  }
  // stop() does nothing to a loop that is still on its way up, so keep asking until the loop has ended.
  while (!finished_) {
    server_->stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  thread_.join();
}

std::string LocalHttpServer::Origin() const {
  return std::string(scheme_ == Scheme::kHttps ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

}  // namespace corvelle::testing
