#include "support/raw_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <memory>

#include "support/loopback_socket.h"

namespace corvelle::testing {
namespace {

// Long enough for any honest client on a busy machine, short enough that a broken test ends.
constexpr auto kReadLimit = std::chrono::seconds(20);
constexpr auto kStopWaitLimit = std::chrono::seconds(60);
constexpr int kPollSliceMs = 50;

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

// The Content-Length a request head announces, 0 when it announces none.
std::size_t AnnouncedLength(std::string_view head) {
  const std::string lower = LowerAscii(head);
  const auto at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos) {
    return 0;
  }
  std::size_t begin = at + 17;
  while (begin < lower.size() && lower[begin] == ' ') {
    ++begin;
  }
  std::size_t length = 0;
  std::from_chars(lower.data() + begin, lower.data() + lower.size(), length);
  return length;
}

bool SendAll(int socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) {
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

}  // namespace

bool RawConnection::ReadRequest(std::string& request) {
  const auto deadline = std::chrono::steady_clock::now() + kReadLimit;
  char chunk[16384];
  for (;;) {
    const auto headEnd = pending_.find("\r\n\r\n");
    if (headEnd != std::string::npos) {
      const std::size_t total =
          headEnd + 4 + AnnouncedLength(std::string_view(pending_).substr(0, headEnd + 2));
      if (pending_.size() >= total) {
        request = pending_.substr(0, total);
        pending_.erase(0, total);
        server_.Record(request);
        return true;
      }
    }
    if (server_.Stopping() || std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    pollfd watch{socket_, POLLIN, 0};
    const int ready = ::poll(&watch, 1, kPollSliceMs);
    if (ready < 0) {
      return false;
    }
    if (ready == 0) {
      continue;
    }
    const ssize_t got = ::recv(socket_, chunk, sizeof chunk, 0);
    if (got <= 0) {
      return false;
    }
    pending_.append(chunk, static_cast<std::size_t>(got));
  }
}

bool RawConnection::Send(std::string_view bytes) {
  return SendAll(socket_, bytes);
}

void RawConnection::Reset() {
  linger hard{1, 0};
  ::setsockopt(socket_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  ::shutdown(socket_, SHUT_RDWR);
}

bool RawConnection::Tunnel(std::uint16_t port) {
  const int upstream = ConnectLoopback(port);
  if (upstream < 0) {
    return false;
  }
  bool open = true;
  if (!pending_.empty()) {
    open = SendAll(upstream, pending_);
    pending_.clear();
  }
  const bool connected = open;
  char chunk[16384];
  while (open && !server_.Stopping()) {
    pollfd watch[2] = {{socket_, POLLIN, 0}, {upstream, POLLIN, 0}};
    if (::poll(watch, 2, kPollSliceMs) < 0) {
      break;
    }
    for (int side = 0; side < 2 && open; ++side) {
      if ((watch[side].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
        continue;
      }
      const int from = side == 0 ? socket_ : upstream;
      const int to = side == 0 ? upstream : socket_;
      const ssize_t got = ::recv(from, chunk, sizeof chunk, 0);
      open = got > 0 && SendAll(to, std::string_view(chunk, static_cast<std::size_t>(got)));
    }
  }
  ::close(upstream);
  return connected;
}

void RawConnection::WaitUntilStopped() {
  std::unique_lock lock(server_.mutex_);
  server_.stopped_.wait_for(lock, kStopWaitLimit, [this] { return server_.Stopping(); });
}

RawServer::RawServer(Script script) : script_(std::move(script)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) {
    return;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 64) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listener_);
    listener_ = -1;
    return;
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

RawServer::~RawServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (const int socket : sockets_) {
      ::shutdown(socket, SHUT_RDWR);
    }
  }
  stopped_.notify_all();
  if (acceptor_.joinable()) {
    acceptor_.join();
  }
  for (auto& worker : workers_) {
    worker.join();
  }
  for (const int socket : sockets_) {
    ::close(socket);
  }
  if (listener_ >= 0) {
    ::close(listener_);
  }
}

void RawServer::AcceptLoop() {
  while (!Stopping()) {
    pollfd watch{listener_, POLLIN, 0};
    if (::poll(&watch, 1, kPollSliceMs) <= 0) {
      continue;
    }
    const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (socket < 0) {
      continue;
    }
    std::lock_guard lock(mutex_);
    const int index = static_cast<int>(sockets_.size());
    sockets_.push_back(socket);
    if (stopping_) {
      ::shutdown(socket, SHUT_RDWR);
    }
    // Sockets are closed only by the destructor, so a socket number never changes owner while a
    // script or the stop code still uses it.
    workers_.emplace_back([this, socket, index] {
      RawConnection connection(*this, socket, index);
      script_(connection);
      ::shutdown(socket, SHUT_RDWR);
    });
  }
}

void RawServer::Record(const std::string& request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(request);
}

std::string RawServer::Origin() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> RawServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

int RawServer::Connections() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(sockets_.size());
}

RawServer::Script RawServer::Respond(std::vector<std::string> responses) {
  auto shared = std::make_shared<std::vector<std::string>>(std::move(responses));
  auto served = std::make_shared<std::atomic<std::size_t>>(0);
  return [shared, served](RawConnection& connection) {
    std::string request;
    while (!shared->empty() && connection.ReadRequest(request)) {
      const std::size_t index = std::min(served->fetch_add(1), shared->size() - 1);
      if (!connection.Send((*shared)[index])) {
        return;
      }
    }
  };
}

std::string MakeResponse(int status, std::string_view reason, std::vector<std::string> headers,
                         std::string_view body) {
  std::string response = "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) + "\r\n";
  bool framed = false;
  for (const auto& header : headers) {
    const std::string lower = LowerAscii(header);
    framed = framed || lower.starts_with("content-length:") || lower.starts_with("transfer-encoding:");
    response += header + "\r\n";
  }
  if (!framed) {
    response += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  }
  response += "\r\n";
  response += body;
  return response;
}

}  // namespace corvelle::testing
