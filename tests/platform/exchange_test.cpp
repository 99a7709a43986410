#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/client.h"
#include "support/local_http_server.h"
#include "support/raw_server.h"

namespace corvelle::platform::testing {
namespace {

using corvelle::testing::LocalHttpServer;
using corvelle::testing::MakeResponse;
using corvelle::testing::RawConnection;
using corvelle::testing::RawServer;

TEST(PlatformExchange, GetSendsOnlyHostUserAgentAndCallerHeaders) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "hello")}));
  Client client(u"agent/1.0");
  const Response response = client.Fetch("GET", server.Origin() + "/a/b?x=1", "X-One:1");
  ASSERT_TRUE(response.received) << response.error;
  EXPECT_EQ(response.body, "hello");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0],
            "GET /a/b?x=1 HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                "\r\nUser-Agent: agent/1.0\r\nX-One: 1\r\n\r\n");
}

TEST(PlatformExchange, PostSendsBodyWithContentLengthOnly) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "")}));
  Client client(u"agent");
  const Response response = client.Fetch("POST", server.Origin() + "/p", {}, "a=1&b=2");
  ASSERT_TRUE(response.received) << response.error;
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0], "POST /p HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                                      "\r\nUser-Agent: agent\r\nContent-Length: 7\r\n\r\na=1&b=2");
}

TEST(PlatformExchange, RawHeaderBlockStatusAndText) {
  RawServer server(RawServer::Respond({"HTTP/1.1 404 Not Found\r\nX-A: 1\nContent-Length: 2\r\n\r\nno"}));
  Client client;
  const Response response = client.Fetch("GET", server.Origin() + "/");
  ASSERT_TRUE(response.received) << response.error;
  EXPECT_EQ(response.status, 404);
  EXPECT_EQ(response.statusText, "Not Found");
  EXPECT_EQ(response.head, "HTTP/1.1 404 Not Found\r\nX-A: 1\r\nContent-Length: 2\r\n\r\n");
  EXPECT_EQ(response.body, "no");
}

TEST(PlatformExchange, ConnectionIsReusedAcrossRequests) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "one")}));
  Client client;
  ASSERT_EQ(client.Fetch("GET", server.Origin() + "/1").body, "one");
  ASSERT_EQ(client.Fetch("GET", server.Origin() + "/2").body, "one");
  ASSERT_EQ(client.Fetch("GET", server.Origin() + "/3").body, "one");
  EXPECT_EQ(server.Requests().size(), 3u);
  EXPECT_EQ(server.Connections(), 1);
}

// A port nobody listens on: bound once to learn a free number, then released.
std::uint16_t ClosedPort() {
  RawServer probe([](RawConnection&) {});
  return probe.Port();
}

TEST(PlatformExchange, RefusedConnectionIsCannotConnect) {
  const std::uint16_t port = ClosedPort();
  Client client;
  const Response response = client.Fetch("GET", "http://127.0.0.1:" + std::to_string(port) + "/");
  EXPECT_FALSE(response.sent && response.received);
  EXPECT_EQ(response.error, kErrorCannotConnect);
}

TEST(PlatformExchange, ReceiveReturnsWhileTheBodyIsStalled) {
  RawServer server([](RawConnection& connection) {
    std::string request;
    if (connection.ReadRequest(request)) {
      connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst");
      connection.WaitUntilStopped();
    }
  });
  Client client;
  client.SetShortTimeouts(1000);
  ASSERT_NE(client.Open("GET", server.Origin() + "/slow"), 0u);
  ASSERT_TRUE(HttpSendRequest(client.Request(), nullptr, 0));
  ASSERT_TRUE(HttpReceiveResponse(client.Request()));
  EXPECT_EQ(QueryText(client.Request(), kQueryStatusCode), "200");
  char buffer[64];
  std::size_t read = 0;
  ASSERT_TRUE(HttpReadData(client.Request(), buffer, sizeof buffer, read));
  EXPECT_EQ(std::string(buffer, read), "first");
  EXPECT_FALSE(HttpReadData(client.Request(), buffer, sizeof buffer, read));
  EXPECT_EQ(HttpGetLastError(), kErrorTimeout);
}

TEST(PlatformExchange, ServerThatNeverAnswersTimesOut) {
  RawServer server([](RawConnection& connection) { connection.WaitUntilStopped(); });
  Client client;
  client.SetShortTimeouts(1000);
  const Response response = client.Fetch("GET", server.Origin() + "/");
  EXPECT_FALSE(response.received);
  EXPECT_EQ(response.error, kErrorTimeout);
}

TEST(PlatformExchange, BodyTheServerNeverReadsTimesOut) {
  RawServer server([](RawConnection& connection) { connection.WaitUntilStopped(); });
  Client client;
  client.SetShortTimeouts(1000);
  const Response response = client.Fetch("POST", server.Origin() + "/upload", {}, std::string(32 << 20, 'u'));
  EXPECT_FALSE(response.received);
  EXPECT_EQ(response.error, kErrorTimeout);
}

TEST(PlatformExchange, QueryHeadersAsksForTheSizeFirst) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "")}));
  Client client;
  ASSERT_TRUE(client.Fetch("GET", server.Origin() + "/").received);
  std::size_t bytes = 0;
  EXPECT_FALSE(HttpQueryHeaders(client.Request(), kQueryStatusCode, nullptr, bytes));
  EXPECT_EQ(HttpGetLastError(), kErrorInsufficientBuffer);
  EXPECT_EQ(bytes, 4 * sizeof(char16_t));
  char16_t small[3];
  bytes = sizeof small;
  EXPECT_FALSE(HttpQueryHeaders(client.Request(), kQueryStatusCode, small, bytes));
  EXPECT_EQ(bytes, 4 * sizeof(char16_t));
  char16_t exact[4];
  ASSERT_TRUE(HttpQueryHeaders(client.Request(), kQueryStatusCode, exact, bytes));
  EXPECT_EQ(bytes, 3 * sizeof(char16_t));
  EXPECT_EQ(std::u16string(exact), u"200");
}

TEST(PlatformExchange, QueriesBeforeAResponseFail) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "")}));
  Client client;
  ASSERT_NE(client.Open("GET", server.Origin() + "/"), 0u);
  std::size_t bytes = 0;
  EXPECT_FALSE(HttpQueryHeaders(client.Request(), kQueryRawHeadersCrlf, nullptr, bytes));
  EXPECT_EQ(HttpGetLastError(), kErrorIncorrectHandleState);
  EXPECT_FALSE(HttpReceiveResponse(client.Request()));
  EXPECT_EQ(HttpGetLastError(), kErrorIncorrectHandleState);
}

TEST(PlatformExchange, HeadAndNoContentResponsesHaveEmptyBodies) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {"Content-Length: 5"}, ""),
                                       MakeResponse(204, "No Content", {"Content-Length: 0"}, "")}));
  Client client;
  const Response head = client.Fetch("HEAD", server.Origin() + "/");
  ASSERT_TRUE(head.bodyComplete) << head.error;
  EXPECT_EQ(head.body, "");
  const Response empty = client.Fetch("GET", server.Origin() + "/");
  ASSERT_TRUE(empty.bodyComplete) << empty.error;
  EXPECT_EQ(empty.status, 204);
  EXPECT_EQ(server.Connections(), 1);
}

TEST(PlatformExchange, SendAgainOnTheSameRequestRetries) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "again")}));
  Client client;
  ASSERT_NE(client.Open("GET", server.Origin() + "/"), 0u);
  ASSERT_EQ(client.Finish().body, "again");
  EXPECT_EQ(client.Finish().body, "again");
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST(PlatformHandles, ZeroAndClosedHandlesFail) {
  std::size_t bytes = 0;
  EXPECT_FALSE(HttpSendRequest(0, nullptr, 0));
  EXPECT_EQ(HttpGetLastError(), kErrorInvalidHandle);
  EXPECT_FALSE(HttpCloseHandle(0));
  const HttpHandle session = HttpOpen(u"ua");
  ASSERT_NE(session, 0u);
  const HttpHandle connection = HttpConnect(session, u"127.0.0.1", 80);
  const HttpHandle request = HttpOpenRequest(connection, u"GET", u"/", 0);
  ASSERT_NE(request, 0u);
  EXPECT_FALSE(HttpOpenRequest(session, u"GET", u"/", 0));
  EXPECT_EQ(HttpGetLastError(), kErrorIncorrectHandleType);
  ASSERT_TRUE(HttpCloseHandle(session));
  EXPECT_FALSE(HttpQueryHeaders(request, kQueryStatusCode, nullptr, bytes));
  EXPECT_EQ(HttpGetLastError(), kErrorInvalidHandle);
  EXPECT_FALSE(HttpCloseHandle(connection));
}

TEST(PlatformHandles, UnknownOptionsAreAcceptedWithoutEffect) {
  const HttpHandle session = HttpOpen(u"ua");
  const std::uint32_t value = 7;
  EXPECT_TRUE(HttpSetOption(session, 12345, &value, sizeof value));
  EXPECT_FALSE(HttpSetOption(session, kOptionSecurityFlags, &value, 2));
  EXPECT_EQ(HttpGetLastError(), kErrorInvalidParameter);
  HttpCloseHandle(session);
}

// Answers every request with a head and the start of a body that never ends.
void StallEveryBody(RawConnection& connection) {
  std::string request;
  while (connection.ReadRequest(request)) {
    connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\npart");
  }
}

TEST(PlatformHandles, ClosingTheSessionEndsARequestInTheMiddleOfItsBody) {
  RawServer server(StallEveryBody);
  Client client;
  ASSERT_NE(client.Open("GET", server.Origin() + "/"), 0u);
  ASSERT_TRUE(HttpSendRequest(client.Request(), nullptr, 0));
  ASSERT_TRUE(HttpReceiveResponse(client.Request()));
  ASSERT_TRUE(HttpCloseHandle(client.Session()));
  std::size_t available = 0;
  EXPECT_FALSE(HttpQueryDataAvailable(client.Request(), available));
  EXPECT_EQ(HttpGetLastError(), kErrorInvalidHandle);
}

TEST(PlatformHandles, ANewRequestOnTheConnectionEndsTheUnreadOne) {
  RawServer server(StallEveryBody);
  Client client;
  client.SetShortTimeouts(2000);
  const HttpHandle connection = [&] {
    EXPECT_NE(client.Open("GET", server.Origin() + "/first"), 0u);
    return client.Connection();
  }();
  const HttpHandle first = client.Request();
  ASSERT_TRUE(HttpSendRequest(first, nullptr, 0));
  ASSERT_TRUE(HttpReceiveResponse(first));
  const HttpHandle second = HttpOpenRequest(connection, u"GET", u"/second", 0);
  ASSERT_TRUE(HttpSendRequest(second, nullptr, 0));
  ASSERT_TRUE(HttpReceiveResponse(second));
  std::size_t available = 0;
  EXPECT_FALSE(HttpQueryDataAvailable(first, available));
  EXPECT_EQ(HttpGetLastError(), kErrorOperationCancelled);
  EXPECT_TRUE(HttpQueryDataAvailable(second, available));
  EXPECT_EQ(available, 4u);
  HttpCloseHandle(second);
  EXPECT_EQ(server.Connections(), 2);
}

TEST(PlatformThreads, SessionsOnSeveralThreadsAtOnce) {
  LocalHttpServer server;
  server.Routes().Get(R"(/echo/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
    response.set_header("Set-Cookie", "n=" + request.matches[1].str());
    response.set_content(std::string(70000, 'e') + request.matches[1].str(), "text/plain");
  });
  ASSERT_TRUE(server.Start());
  constexpr int kThreads = 4;
  constexpr int kRequests = 5;
  std::vector<int> good(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&server, &good, t] {
      Client client;
      for (int i = 0; i < kRequests; ++i) {
        const std::string id = std::to_string(t * 100 + i);
        const Response response = client.Fetch("GET", server.Origin() + "/echo/" + id);
        good[t] += response.body == std::string(70000, 'e') + id ? 1 : 0;
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(good[t], kRequests) << "thread " << t;
  }
}

}  // namespace
}  // namespace corvelle::platform::testing
