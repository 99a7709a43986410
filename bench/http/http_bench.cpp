// HttpSession against a plain libcurl easy handle, both talking to one nginx on loopback: sequential
// small GETs over one session (requests per second) and one 256 MB body (MB/s and peak memory).
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "http/http_session.h"
#include "support/nginx_server.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSmallRequests = 20000;
constexpr std::size_t kSmallSize = 1024;
constexpr std::size_t kLargeSize = 256U * 1024U * 1024U;
constexpr double kMegabyte = 1024.0 * 1024.0;

struct CurlFree {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, CurlFree>;

std::size_t AppendBody(char* data, std::size_t size, std::size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

// A kB figure of /proc/self/status ("VmRSS", "VmHWM").
long StatusKilobytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(field + ":")) return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
  }
  return 0;
}

// Runs `transfer` and answers the growth of the peak resident size over the size before it, in bytes.
long PeakGrowth(const std::function<void()>& transfer) {
  // Writing 5 resets the peak (VmHWM) to the current resident size.
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = StatusKilobytes("VmRSS");
  transfer();
  return (StatusKilobytes("VmHWM") - before) * 1024;
}

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool WriteFile(const std::filesystem::path& path, std::size_t size) {
  std::ofstream file(path, std::ios::binary);
  std::string block(1 << 20, 'x');
  for (std::size_t written = 0; written < size; written += block.size()) {
    file.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), size - written)));
  }
  return static_cast<bool>(file);
}

// Small GETs through one HttpSession; answers the seconds taken, or a negative value on failure.
double SessionSmallRun(corvelle::HttpSession& session, const std::string& url, int requests) {
  const auto start = Clock::now();
  for (int i = 0; i < requests; ++i) {
    if (!session.OpenRequest("GET", url) || !session.SendText() ||
        session.GetResponseBytes().size() != kSmallSize) {
      std::fprintf(stderr, "HttpSession request %d failed\n", i);
      return -1;
    }
  }
  return Seconds(start);
}

double CurlSmallRun(CURL* curl, std::string& body, int requests) {
  const auto start = Clock::now();
  for (int i = 0; i < requests; ++i) {
    body.clear();
    if (curl_easy_perform(curl) != CURLE_OK || body.size() != kSmallSize) {
      std::fprintf(stderr, "libcurl request %d failed\n", i);
      return -1;
    }
  }
  return Seconds(start);
}

struct SmallResult {
  double sessionRate = 0;
  double curlRate = 0;
};

// The machine is shared, so the two clients take turns in short rounds and neither gets the quiet or
// the busy moments alone.
SmallResult SmallRequests(const std::string& url) {
  constexpr int kRounds = 10;
  constexpr int kPerRound = kSmallRequests / kRounds;
  corvelle::HttpSession session;
  CurlHandle curl(curl_easy_init());
  std::string body;
  curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, AppendBody);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
  double sessionSeconds = 0;
  double curlSeconds = 0;
  for (int round = 0; round < kRounds; ++round) {
    const double sessionRun = SessionSmallRun(session, url, kPerRound);
    const double curlRun = CurlSmallRun(curl.get(), body, kPerRound);
    if (sessionRun < 0 || curlRun < 0) return {};
    sessionSeconds += sessionRun;
    curlSeconds += curlRun;
  }
  return {kSmallRequests / sessionSeconds, kSmallRequests / curlSeconds};
}

struct LargeResult {
  double megabytesPerSecond = 0;
  long peakGrowth = 0;
};

LargeResult Better(const LargeResult& a, const LargeResult& b) {
  return {std::max(a.megabytesPerSecond, b.megabytesPerSecond), std::max(a.peakGrowth, b.peakGrowth)};
}

LargeResult SessionLarge(const std::string& url) {
  LargeResult result;
  result.peakGrowth = PeakGrowth([&] {
    corvelle::HttpSession session;
    const auto start = Clock::now();
    const bool sent = session.OpenRequest("GET", url) && session.SendText();
    const corvelle::Bytes body = sent ? session.GetResponseBytes() : corvelle::Bytes();
    const double seconds = Seconds(start);
    if (body.size() == kLargeSize) result.megabytesPerSecond = kLargeSize / kMegabyte / seconds;
  });
  return result;
}

LargeResult CurlLarge(const std::string& url) {
  LargeResult result;
  result.peakGrowth = PeakGrowth([&] {
    CurlHandle curl(curl_easy_init());
    std::string body;
    body.reserve(kLargeSize);
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, AppendBody);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    const auto start = Clock::now();
    const bool done = curl_easy_perform(curl.get()) == CURLE_OK;
    const double seconds = Seconds(start);
    if (done && body.size() == kLargeSize) result.megabytesPerSecond = kLargeSize / kMegabyte / seconds;
  });
  return result;
}

}  // namespace

int main() {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  int status = 1;
  {
    corvelle::testing::NginxServer nginx;
    if (!nginx.Running() || !WriteFile(nginx.Root() / "small.bin", kSmallSize) ||
        !WriteFile(nginx.Root() / "large.bin", kLargeSize)) {
      std::fprintf(stderr, "nginx could not be started or fed\n");
    } else {
      const std::string small = nginx.Origin() + "/small.bin";
      const std::string large = nginx.Origin() + "/large.bin";
      const SmallResult smallResult = SmallRequests(small);
      const double sessionRate = smallResult.sessionRate;
      const double curlRate = smallResult.curlRate;
      // Each large transfer twice, in turns; the faster run of each counts.
      LargeResult sessionLarge;
      LargeResult curlLarge;
      for (int round = 0; round < 2; ++round) {
        sessionLarge = Better(sessionLarge, SessionLarge(large));
        curlLarge = Better(curlLarge, CurlLarge(large));
      }
      std::printf("| case | HttpSession | plain libcurl | ratio |\n|---|---|---|---|\n");
      std::printf("| %d GETs of 1 KiB (requests/s) | %.0f | %.0f | %.2f |\n", kSmallRequests, sessionRate,
                  curlRate, sessionRate / curlRate);
      std::printf("| 256 MB body (MB/s) | %.0f | %.0f | %.2f |\n", sessionLarge.megabytesPerSecond,
                  curlLarge.megabytesPerSecond,
                  sessionLarge.megabytesPerSecond / curlLarge.megabytesPerSecond);
      std::printf("| 256 MB body, peak memory growth (x body size, worst run) | %.2f | %.2f | |\n",
                  static_cast<double>(sessionLarge.peakGrowth) / kLargeSize,
                  static_cast<double>(curlLarge.peakGrowth) / kLargeSize);
      status = 0;
    }
  }
  curl_global_cleanup();
  return status;
}
