// corvelle-share-service: the simulated share service as a program of its own, for trying the window
// and the command-line resolver against something local.

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>

#include "simulated_share_service.h"

namespace {

using corvelle::share_service::SampleShares;
using corvelle::share_service::SimulatedShareService;

constexpr char kUsage[] =
    "usage: corvelle-share-service [--port N] [--https-port N] [--cert-out FILE] [--no-http] [--no-https]\n"
    "\n"
    "Serves a simulated share service on 127.0.0.1 until interrupted, over HTTP and over HTTPS with a\n"
    "certificate made at start-up. Prints the origins, the certificate file and the sample share links.\n"
    "Point a client at it with CORVELLE_SERVICE_ORIGIN=<origin>, and for HTTPS SSL_CERT_FILE=<certificate>.\n"
    "\n"
    "  --port N          HTTP port (default: any free port)\n"
    "  --https-port N    HTTPS port (default: any free port)\n"
    "  --cert-out FILE   where to write the certificate (default: a temporary file)\n"
    "  --no-http         serve HTTPS only\n"
    "  --no-https        serve HTTP only\n";

volatile std::sig_atomic_t stopRequested = 0;

void OnSignal(int) {
  stopRequested = 1;
}

bool ReadPort(std::string_view text, int& port) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
  return ec == std::errc() && end == text.data() + text.size() && port >= 0 && port <= 65535;
}

}  // namespace

int main(int argc, char** argv) {
  SimulatedShareService::Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--port" && hasValue) {
      if (!ReadPort(argv[++i], options.httpPort)) return std::cerr << kUsage, 2;
    } else if (arg == "--https-port" && hasValue) {
      if (!ReadPort(argv[++i], options.httpsPort)) return std::cerr << kUsage, 2;
    } else if (arg == "--cert-out" && hasValue) {
      options.certOut = argv[++i];
    } else if (arg == "--no-http") {
      options.http = false;
    } else if (arg == "--no-https") {
      options.https = false;
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }

  SimulatedShareService service(options);
  for (auto& share : SampleShares()) service.AddShare(share);
  if (!service.Start()) {
    std::cerr << "corvelle-share-service: could not start (port in use or certificate failure)\n";
    return 1;
  }
  std::vector<std::string> origins;
  if (options.http) origins.push_back(service.HttpOrigin());
  if (options.https) origins.push_back(service.HttpsOrigin());
  for (const std::string& origin : origins) std::cout << "origin " << origin << "\n";
  if (options.https) std::cout << "certificate " << service.CertPath() << "\n";
  for (const auto& share : SampleShares()) {
    std::cout << "share " << origins.front() << SimulatedShareService::LinkPath(share.surl);
    if (!share.password.empty()) std::cout << " password " << share.password;
    if (share.captcha) std::cout << " captcha";
    std::cout << "\n";
  }
  std::cout.flush();

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  while (stopRequested == 0) {
    timespec pause{0, 100'000'000};
    nanosleep(&pause, nullptr);
  }
  service.Stop();
  return 0;
}
