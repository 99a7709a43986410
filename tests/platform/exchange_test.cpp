#include <gtest/gtest.h>

#include "platform/client.h"
#include "support/raw_server.h"

namespace corvelle::platform::testing {
namespace {

using corvelle::testing::MakeResponse;
using corvelle::testing::RawServer;

TEST(Exchange, GetSendsOnlyHostUserAgentAndCallerHeaders) {
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

TEST(Exchange, PostSendsBodyWithContentLengthOnly) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "")}));
  Client client(u"agent");
  const Response response = client.Fetch("POST", server.Origin() + "/p", {}, "a=1&b=2");
  ASSERT_TRUE(response.received) << response.error;
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0], "POST /p HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                                      "\r\nUser-Agent: agent\r\nContent-Length: 7\r\n\r\na=1&b=2");
}

TEST(Exchange, RawHeaderBlockStatusAndText) {
  RawServer server(RawServer::Respond({"HTTP/1.1 404 Not Found\r\nX-A: 1\nContent-Length: 2\r\n\r\nno"}));
  Client client;
  const Response response = client.Fetch("GET", server.Origin() + "/");
  ASSERT_TRUE(response.received) << response.error;
  EXPECT_EQ(response.status, 404);
  EXPECT_EQ(response.statusText, "Not Found");
  EXPECT_EQ(response.head, "HTTP/1.1 404 Not Found\r\nX-A: 1\r\nContent-Length: 2\r\n\r\n");
  EXPECT_EQ(response.body, "no");
}

TEST(Exchange, ConnectionIsReusedAcrossRequests) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "one")}));
  Client client;
  ASSERT_EQ(client.Fetch("GET", server.Origin() + "/1").body, "one");
  ASSERT_EQ(client.Fetch("GET", server.Origin() + "/2").body, "one");
  ASSERT_EQ(client.Fetch("GET", server.Origin() + "/3").body, "one");
  EXPECT_EQ(server.Requests().size(), 3u);
  EXPECT_EQ(server.Connections(), 1);
}

}  // namespace
}  // namespace corvelle::platform::testing
