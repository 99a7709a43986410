#include "support/nginx_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "support/loopback_socket.h"

namespace corvelle::testing {
namespace {

constexpr const char* kNginx = "/usr/sbin/nginx";
constexpr int kStartAttempts = 5;
constexpr auto kStartLimit = std::chrono::seconds(10);
constexpr auto kStopLimit = std::chrono::seconds(10);

// A port that was free a moment ago, or 0.
std::uint16_t PickFreePort() {
  const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket < 0) {
    return 0;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  std::uint16_t port = 0;
  if (::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(socket);
  return port;
}

bool Accepts(std::uint16_t port) {
  const int socket = ConnectLoopback(port);
  if (socket < 0) {
    return false;
  }
  ::close(socket);
  return true;
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string Config(const std::filesystem::path& folder, const std::filesystem::path& root,
                   std::uint16_t port) {
  const std::string dir = folder.string();
  return "master_process off;\n"
         "worker_processes 1;\n"
         "pid " +
         dir +
         "/nginx.pid;\n"
         "error_log " +
         dir +
         "/error.log;\n"
         "events { worker_connections 64; }\n"
         "http {\n"
         "  access_log off;\n"
         "  client_body_temp_path " +
         dir +
         "/body;\n"
         "  proxy_temp_path " +
         dir +
         "/proxy;\n"
         "  fastcgi_temp_path " +
         dir +
         "/fastcgi;\n"
         "  uwsgi_temp_path " +
         dir +
         "/uwsgi;\n"
         "  scgi_temp_path " +
         dir +
         "/scgi;\n"
         "  default_type application/octet-stream;\n"
         "  keepalive_timeout 60;\n"
         "  keepalive_requests 1000;\n"
         "  server {\n"
         "    listen 127.0.0.1:" +
         std::to_string(port) +
         ";\n"
         "    root " +
         root.string() +
         ";\n"
         "    location = /redirect { return 302 /index.html; }\n"
         "    location = /hop { add_header Set-Cookie \"hop=1; Path=/\" always; return 302 /index.html; }\n"
         "    location = /set-cookie { add_header Set-Cookie \"nginx=1; Path=/\"; return 200 \"cookie "
         "set\\n\"; }\n"
         "    location /chunked/ { ssi on; ssi_types *; }\n"
         "  }\n"
         "}\n";
}

}  // namespace

std::string NginxBigFileContent() {
  std::string content(262144, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) {
    content[i] = static_cast<char>(i % 251);
  }
  return content;
}

NginxServer::NginxServer() {
  std::string pattern = (std::filesystem::temp_directory_path() / "corvelle-nginx-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    return;
  }
  folder_ = pattern;
  root_ = folder_ / "www";
  std::error_code ignored;
  std::filesystem::create_directories(root_ / "chunked", ignored);
  WriteFile(root_ / "index.html", "hello from nginx\n");
  WriteFile(root_ / "big.bin", NginxBigFileContent());
  WriteFile(root_ / "chunked" / "index.html", "chunked <!--# echo var=\"uri\" --> body\n");
  for (int attempt = 0; attempt < kStartAttempts && !Running(); ++attempt) {
    StartOnce();
  }
}

NginxServer::~NginxServer() {
  Stop();
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

std::string NginxServer::Origin() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

bool NginxServer::StartOnce() {
  const std::uint16_t port = PickFreePort();
  if (port == 0) {
    return false;
  }
  const std::filesystem::path config = folder_ / "nginx.conf";
  WriteFile(config, Config(folder_, root_, port));
  const std::string prefix = folder_.string() + "/";
  const std::string configPath = config.string();
  std::vector<std::string> args = {kNginx, "-p", prefix, "-c", configPath, "-g", "daemon off;"};
  std::vector<char*> argv;
  for (auto& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, kNginx, nullptr, nullptr, argv.data(), environ) != 0) {
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      return false;  // nginx gave up, most likely because the port was taken meanwhile
    }
    if (Accepts(port)) {
      pid_ = pid;
      port_ = port;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return false;
}

void NginxServer::Stop() {
  if (pid_ <= 0) {
    return;
  }
  ::kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

}  // namespace corvelle::testing
