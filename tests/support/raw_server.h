#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// A plain-socket HTTP server on 127.0.0.1 for tests that need the exact bytes a client sent or a server
// that misbehaves on purpose. Every accepted connection runs a script on its own thread; the script reads
// requests and writes whatever bytes it likes. Every request read is recorded, byte for byte, in arrival
// order. Destruction wakes every script (reads fail, waits end) and joins all threads.
namespace corvelle::testing {

class RawServer;

// One accepted connection, handed to the script. All waits are bounded.
class RawConnection {
 public:
  RawConnection(RawServer& server, int socket, int index) : server_(server), socket_(socket), index_(index) {}

  // Reads one request: the head up to the empty line and, when it announces one, a Content-Length body.
  // False when the peer closed, the server stops, or nothing arrives within the read limit.
  bool ReadRequest(std::string& request);
  // Writes all bytes; false when the peer is gone.
  bool Send(std::string_view bytes);
  // Ends the connection with a TCP reset instead of an orderly close.
  void Reset();
  // Connects to 127.0.0.1:`port` and relays bytes both ways until either side closes or the server
  // stops: the tunnel of a CONNECT proxy. Bytes already read beyond the last request go first.
  bool Tunnel(std::uint16_t port);
  // Blocks until the server stops (for "accept and never answer").
  void WaitUntilStopped();
  // 0 for the first connection the server accepted, 1 for the second, ...
  [[nodiscard]] int Index() const { return index_; }

 private:
  RawServer& server_;
  int socket_;
  int index_;
  std::string pending_;  // bytes read beyond the last request (pipelining)
};

class RawServer {
 public:
  using Script = std::function<void(RawConnection&)>;

  // Starts listening on 127.0.0.1 with a port the system picks; Port() is 0 when that failed.
  explicit RawServer(Script script);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  // A script that answers the requests of all connections with `responses` in turn (the n-th request
  // the server reads gets the n-th response; the last one repeats), keeping connections open.
  static Script Respond(std::vector<std::string> responses);

  [[nodiscard]] std::uint16_t Port() const { return port_; }
  // "http://127.0.0.1:port"
  [[nodiscard]] std::string Origin() const;
  // Every request read so far, head and body, in arrival order.
  [[nodiscard]] std::vector<std::string> Requests() const;
  // How many connections were accepted so far.
  [[nodiscard]] int Connections() const;

 private:
  friend class RawConnection;
  void AcceptLoop();
  void Record(const std::string& request);
  [[nodiscard]] bool Stopping() const { return stopping_.load(); }

  Script script_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  std::vector<std::string> requests_;
  std::vector<int> sockets_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

// "HTTP/1.1 <status> <reason>\r\n" + each header line + CRLF + "Content-Length" (unless a header names
// Content-Length or Transfer-Encoding) + empty line + body.
[[nodiscard]] std::string MakeResponse(int status, std::string_view reason, std::vector<std::string> headers,
                                       std::string_view body);

}  // namespace corvelle::testing
