#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <ostream>
#include <string>
#include <vector>

#include "platform/client.h"
#include "support/raw_server.h"

// Servers that misbehave: each exchange must end in a failure code at the step where the fault shows,
// without crash, hang or leak.
namespace corvelle::platform::testing {
namespace {

using corvelle::testing::RawConnection;
using corvelle::testing::RawServer;

enum class FailsAt { kReceive, kBody };

struct HostileCase {
  std::string name;
  std::function<void(RawConnection&)> misbehave;  // runs after the request was read
  FailsAt failsAt;
  std::uint32_t error;
};

void PrintTo(const HostileCase& row, std::ostream* out) {
  *out << row.name;
}

std::string HugeHead() {
  std::string head = "HTTP/1.1 200 OK\r\n";
  while (head.size() < 1048576) {
    head += "X-Filler: " + std::string(90, 'f') + "\r\n";
  }
  return head + "Content-Length: 0\r\n\r\n";
}

const std::vector<HostileCase> kHostileCases = {
    {"BodyEndsBeforeContentLength",
     [](RawConnection& c) { c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort"); }, FailsAt::kBody,
     kErrorConnectionError},
    {"TruncatedChunkedBody",
     [](RawConnection& c) {
       c.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n10\r\nabc");
     },
     FailsAt::kBody, kErrorConnectionError},
    {"BadChunkSize",
     [](RawConnection& c) { c.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nhello\r\n"); },
     FailsAt::kBody, kErrorConnectionError},
    {"MegabyteHeaderBlock", [](RawConnection& c) { c.Send(HugeHead()); }, FailsAt::kReceive,
     kErrorHeaderSizeOverflow},
    {"GarbageInsteadOfStatusLine", [](RawConnection& c) { c.Send("garbage garbage\r\n\r\n"); },
     FailsAt::kReceive, kErrorInvalidServerResponse},
    {"ClosedWithoutAnswer", [](RawConnection&) {}, FailsAt::kReceive, kErrorConnectionError},
};

class PlatformHostileServer : public ::testing::TestWithParam<HostileCase> {};

TEST_P(PlatformHostileServer, EndsInAFailureCode) {
  const HostileCase& row = GetParam();
  RawServer server([&row](RawConnection& connection) {
    std::string request;
    if (connection.ReadRequest(request)) {
      row.misbehave(connection);
    }
  });
  Client client;
  client.SetShortTimeouts(5000);
  const Response response = client.Fetch("GET", server.Origin() + "/");
  EXPECT_EQ(response.received, row.failsAt == FailsAt::kBody);
  EXPECT_FALSE(response.bodyComplete);
  EXPECT_EQ(response.error, row.error);
}

// A reset discards what the client has not read yet, so the server resets only once the test has
// seen the head; otherwise the reset could overtake the head and fail the receive instead.
TEST(PlatformHostileReset, ResetMidBodyFailsTheRead) {
  std::promise<void> headSeen;
  std::shared_future<void> headSeenSignal = headSeen.get_future().share();
  RawServer server([headSeenSignal](RawConnection& connection) {
    std::string request;
    if (connection.ReadRequest(request)) {
      connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(1000, 'b'));
      headSeenSignal.wait_for(std::chrono::seconds(20));
      connection.Reset();
    }
  });
  Client client;
  client.SetShortTimeouts(5000);
  ASSERT_NE(client.Open("GET", server.Origin() + "/"), 0u);
  ASSERT_TRUE(HttpSendRequest(client.Request(), nullptr, 0));
  const bool received = HttpReceiveResponse(client.Request());
  headSeen.set_value();
  ASSERT_TRUE(received);
  std::string body(200000, '\0');
  std::size_t read = 0;
  std::size_t total = 0;
  bool reading = false;
  do {
    reading = HttpReadData(client.Request(), body.data(), body.size(), read);
    total += read;
  } while (reading && read > 0);
  EXPECT_FALSE(reading);
  EXPECT_EQ(HttpGetLastError(), kErrorConnectionError);
  EXPECT_LE(total, 1000u);
}

INSTANTIATE_TEST_SUITE_P(Platform, PlatformHostileServer, ::testing::ValuesIn(kHostileCases),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace corvelle::platform::testing
