#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "http/http_session.h"
#include "http/wire_request.h"
#include "support/raw_server.h"

// The response side: status, announced length, the body buffer and its cache, and the whole exchanges
// with their attempts and retries.
namespace corvelle {
namespace {

using testing::MakeResponse;
using testing::RawConnection;
using testing::RawServer;

std::string Pattern(std::size_t size) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>('a' + i % 23);
  return body;
}

// A server that answers every request with `response` and then closes, for bodies framed by the close.
RawServer::Script AnswerAndClose(std::string response) {
  return [response](RawConnection& connection) {
    std::string request;
    if (connection.ReadRequest(request)) static_cast<void>(connection.Send(response));
  };
}

Bytes Fetch(HttpSession& session, const RawServer& server) {
  EXPECT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  EXPECT_TRUE(session.SendText());
  return session.GetResponseBytes();
}

TEST(HttpResponseTest, StatusLengthAndTextOfTheResponse) {
  RawServer server(RawServer::Respond({MakeResponse(404, "Not Found", {"X-Content-Length: 99"}, "nope!")}));
  HttpSession session;
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  EXPECT_EQ(session.GetStatusCode(), 0);
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(session.GetStatusCode(), 404);
  EXPECT_EQ(session.GetStatusText(), "Not Found");
  EXPECT_EQ(session.ContentLength(), 5);
  EXPECT_EQ(session.GetResponseText(), "nope!");
  EXPECT_EQ(session.GetResponseHeader("content-length"), "5");
}

TEST(HttpResponseTest, ZeroLengthCountsAsNotAnnounced) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {"Content-Length: 0"}, "")}));
  HttpSession session;
  EXPECT_TRUE(Fetch(session, server).empty());
  EXPECT_EQ(session.ContentLength(), -1);
  EXPECT_EQ(session.GetStatusCode(), 200);
}

TEST(HttpResponseTest, BodyWithoutLengthIsReadToTheEnd) {
  const std::string body = Pattern(3 * 1048576 + 17);
  RawServer server(AnswerAndClose("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body));
  HttpSession session;
  const Bytes received = Fetch(session, server);
  EXPECT_EQ(session.ContentLength(), -1);
  ASSERT_EQ(received.size(), body.size());
  EXPECT_TRUE(std::equal(received.begin(), received.end(), body.begin(),
                         [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
  EXPECT_GE(session.BodyCapacity(), body.size());
}

TEST(HttpResponseTest, ChunkedBodyIsReadToTheEnd) {
  const std::string part = Pattern(70000);
  std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (int i = 0; i < 5; ++i) chunked += "11170\r\n" + part + "\r\n";
  chunked += "0\r\n\r\n";
  RawServer server(RawServer::Respond({chunked}));
  HttpSession session;
  const Bytes received = Fetch(session, server);
  EXPECT_EQ(session.ContentLength(), -1);
  EXPECT_EQ(received.size(), 5 * part.size());
}

TEST(HttpResponseTest, AnnouncedLengthSizesTheBufferExactly) {
  const std::string body = Pattern(3145728);
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, body)}));
  HttpSession session;
  const Bytes received = Fetch(session, server);
  EXPECT_EQ(session.ContentLength(), 3145728);
  EXPECT_EQ(received.size(), body.size());
  EXPECT_EQ(session.BodyCapacity(), 3145728U);
}

TEST(HttpResponseTest, BodyIsCachedUntilTheNextOpenRequest) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, std::string("ab\0cd", 5))}));
  HttpSession session;
  const Bytes first = Fetch(session, server);
  EXPECT_EQ(first.size(), 5U);
  EXPECT_EQ(session.GetResponseBytes(), first);
  EXPECT_EQ(session.BodyLength(), 5);
  EXPECT_EQ(session.GetResponseText(), "ab");
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  EXPECT_TRUE(session.GetResponseBytes().empty());
  EXPECT_EQ(session.GetStatusCode(), 0);
  EXPECT_EQ(session.GetResponseHeaders(), "");
}

TEST(HttpResponseTest, Utf8BodyBecomesCodePage936) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "\xE4\xB8\xAD\xE6\x96\x87")}));
  HttpSession session;
  static_cast<void>(Fetch(session, server));
  EXPECT_EQ(session.GetResponseTextUtf8(), "\xD6\xD0\xCE\xC4");
}

TEST(HttpExchangeTest, RetriesGatewayTimeoutsUpToTheAttempts) {
  const std::string timeout = MakeResponse(504, "Gateway Timeout", {}, "");
  RawServer server(
      RawServer::Respond({timeout, timeout, timeout, timeout, MakeResponse(200, "OK", {}, "done")}));
  HttpSession session;
  EXPECT_TRUE(session.Get(server.Origin() + "/"));
  EXPECT_EQ(server.Requests().size(), 5U);
  EXPECT_EQ(session.GetResponseText(), "done");
}

TEST(HttpExchangeTest, StopsAtOtherStatuses) {
  RawServer server(RawServer::Respond({MakeResponse(404, "Not Found", {}, "")}));
  HttpSession session;
  EXPECT_FALSE(session.Get(server.Origin() + "/"));
  EXPECT_EQ(server.Requests().size(), 1U);
  EXPECT_FALSE(session.Get(server.Origin() + "/", std::nullopt, std::nullopt, std::nullopt, 0));
  EXPECT_EQ(server.Requests().size(), 1U);
}

TEST(HttpExchangeTest, RedirectCountsAsSuccessWhenNotFollowed) {
  RawServer server(RawServer::Respond({MakeResponse(302, "Found", {"Location: /elsewhere"}, "")}));
  HttpSession session;
  session.SetFollowRedirects(0);
  EXPECT_TRUE(session.Get(server.Origin() + "/"));
  EXPECT_EQ(session.GetStatusCode(), 302);
  EXPECT_EQ(server.Requests().size(), 1U);
}

TEST(HttpExchangeTest, PostsCarryBodyCookiesAndHeaderLines) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "")}));
  HttpSession session;
  const Bytes bytes = {'x', '=', 0, '1'};
  EXPECT_TRUE(session.PostBytes(server.Origin() + "/b", bytes, "c=1", "X-Extra:yes"));
  EXPECT_TRUE(session.PostText(server.Origin() + "/t", "y=2"));
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2U);
  EXPECT_TRUE(requests[0].starts_with("POST /b "));
  EXPECT_TRUE(
      requests[0].ends_with(std::string("\r\n\r\nx=\0"
                                        "1",
                                        8)));
  const testing::WireRequest bytesPost = testing::ParseWireRequest(requests[0]);
  EXPECT_EQ(bytesPost.Header("Cookie"), "c=1");
  EXPECT_EQ(bytesPost.Header("X-Extra"), "yes");
  EXPECT_EQ(bytesPost.Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(testing::ParseWireRequest(requests[1]).body, "y=2");
}

// Drops the first `failures` connections before answering, as a server that is not yet up would.
RawServer::Script FailFirst(int failures) {
  return [failures](RawConnection& connection) {
    std::string request;
    if (!connection.ReadRequest(request)) return;
    if (connection.Index() < failures) {
      connection.Reset();
      return;
    }
    static_cast<void>(connection.Send(MakeResponse(200, "OK", {}, "up")));
  };
}

TEST(HttpRetryTest, ConnectionErrorsAreRetriedOnTheSameRequest) {
  RawServer server(FailFirst(2));
  HttpSession session;
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  EXPECT_TRUE(session.SendText(std::nullopt, std::nullopt, 2));
  EXPECT_EQ(session.GetResponseText(), "up");
  EXPECT_EQ(server.Connections(), 3);
}

TEST(HttpRetryTest, TooFewRetriesFail) {
  RawServer server(FailFirst(2));
  HttpSession session;
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  EXPECT_FALSE(session.SendText(std::nullopt, std::nullopt, 1));
  EXPECT_EQ(session.GetStatusCode(), 0);
  EXPECT_EQ(server.Connections(), 2);
}

TEST(HttpRetryTest, RefusedConnectionEndsWithFailure) {
  std::uint16_t closedPort = 0;
  {
    RawServer probe(RawServer::Respond({}));
    closedPort = probe.Port();
  }
  HttpSession session;
  ASSERT_TRUE(session.OpenRequest("GET", "http://127.0.0.1:" + std::to_string(closedPort) + "/"));
  EXPECT_FALSE(session.SendText(std::nullopt, std::nullopt, 2));
  EXPECT_EQ(session.GetStatusCode(), 0);
  EXPECT_FALSE(session.Get("http://127.0.0.1:" + std::to_string(closedPort) + "/", std::nullopt, std::nullopt,
                           std::nullopt, 2));
}

TEST(HttpRetryTest, NegativeRetriesMakeNoAttempt) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "")}));
  HttpSession session;
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  EXPECT_FALSE(session.SendText(std::nullopt, std::nullopt, -1));
  EXPECT_EQ(server.Connections(), 0);
}

}  // namespace
}  // namespace corvelle
