#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <thread>

#include "platform/client.h"
#include "support/local_http_server.h"
#include "support/raw_server.h"
#include "support/test_certificate.h"

// When a connection handle's next request finds the connection of the previous one still usable.
namespace corvelle::platform::testing {
namespace {

using corvelle::testing::LocalHttpServer;
using corvelle::testing::RawConnection;
using corvelle::testing::RawServer;
using corvelle::testing::ScopedEnvironment;
using corvelle::testing::TestCertificate;

// The whole body of a received request; `complete` tells whether its end was reached.
std::string ReadAll(HttpHandle request, bool& complete) {
  std::string body;
  complete = false;
  for (;;) {
    std::size_t available = 0;
    if (!HttpQueryDataAvailable(request, available)) {
      return body;
    }
    if (available == 0) {
      complete = true;
      return body;
    }
    std::string chunk(available, '\0');
    std::size_t read = 0;
    if (!HttpReadData(request, chunk.data(), chunk.size(), read)) {
      return body;
    }
    body.append(chunk, 0, read);
  }
}

struct UnreadBodyCase {
  const char* name;
  std::size_t bodySize;
  int bodyDelayMs;        // the server sends the body this long after the head
  bool closeUnreadFirst;  // the unread request's handle is closed before the next request opens
  int expectedConnections;
};

void PrintTo(const UnreadBodyCase& row, std::ostream* out) {
  *out << row.name;
}

const UnreadBodyCase kUnreadBodyCases[] = {
    {"SmallBodyRequestLeftOpen", 300, 0, false, 1}, {"SmallBodyRequestClosed", 300, 0, true, 1},
    {"SmallBodyArrivingLate", 300, 200, false, 1},  {"SmallBodyArrivingLateRequestClosed", 300, 200, true, 1},
    {"BodyTooLargeToDrain", 1 << 20, 0, false, 2},  {"BodyTooLargeToDrainRequestClosed", 1 << 20, 0, true, 2},
};

class PlatformUnreadBody : public ::testing::TestWithParam<UnreadBodyCase> {};

TEST_P(PlatformUnreadBody, NextRequestOnTheConnectionHandle) {
  const UnreadBodyCase& row = GetParam();
  RawServer server([&row](RawConnection& connection) {
    std::string request;
    while (connection.ReadRequest(request)) {
      const bool first = request.starts_with("GET /first ");
      const std::string body = first ? std::string(row.bodySize, 'u') : std::string("second");
      if (!connection.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                           "\r\n\r\n")) {
        return;
      }
      if (first && row.bodyDelayMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(row.bodyDelayMs));
      }
      if (!connection.Send(body)) {
        return;
      }
    }
  });
  Client client;
  client.SetShortTimeouts(5000);
  ASSERT_NE(client.Open("GET", server.Origin() + "/first"), 0u);
  const HttpHandle connection = client.Connection();
  const Response unread = client.Finish({}, false);
  ASSERT_TRUE(unread.received) << unread.error;
  if (row.closeUnreadFirst) {
    ASSERT_TRUE(HttpCloseHandle(client.Request()));
  }
  const HttpHandle second = HttpOpenRequest(connection, u"GET", u"/second", 0);
  ASSERT_NE(second, 0u);
  ASSERT_TRUE(HttpSendRequest(second, nullptr, 0)) << HttpGetLastError();
  ASSERT_TRUE(HttpReceiveResponse(second)) << HttpGetLastError();
  bool complete = false;
  EXPECT_EQ(ReadAll(second, complete), "second");
  EXPECT_TRUE(complete);
  EXPECT_TRUE(HttpCloseHandle(second));
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Connections(), row.expectedConnections);
}

INSTANTIATE_TEST_SUITE_P(Cases, PlatformUnreadBody, ::testing::ValuesIn(kUnreadBodyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PlatformTrustedHttps, LenientRequestThenStrictOneShareAConnection) {
  ASSERT_TRUE(TestCertificate::Instance().Valid());
  ScopedEnvironment trust("SSL_CERT_FILE", TestCertificate::Instance().CertFile().c_str());
  std::mutex mutex;
  std::set<int> clientPorts;  // one per TLS connection the server accepted
  LocalHttpServer server(LocalHttpServer::Scheme::kHttps);
  server.Routes().Get("/hello", [&](const httplib::Request& request, httplib::Response& response) {
    {
      std::lock_guard lock(mutex);
      clientPorts.insert(request.remote_port);
    }
    response.set_content("secret", "text/plain");
  });
  ASSERT_TRUE(server.Start());
  Client client;
  ASSERT_NE(client.Open("GET", server.Origin() + "/hello"), 0u);
  const std::uint32_t lenient = kSecurityIgnoreAllCertErrors;
  ASSERT_TRUE(HttpSetOption(client.Request(), kOptionSecurityFlags, &lenient, sizeof lenient));
  EXPECT_EQ(client.Finish().body, "secret");
  EXPECT_EQ(client.Fetch("GET", server.Origin() + "/hello").body, "secret");
  EXPECT_EQ(client.Fetch("GET", server.Origin() + "/hello").body, "secret");
  std::lock_guard lock(mutex);
  EXPECT_EQ(clientPorts.size(), 1u);
}

}  // namespace
}  // namespace corvelle::platform::testing
