#include <gtest/gtest.h>

#include <string>

#include "platform/client.h"
#include "support/raw_server.h"

// Cookies a session handle keeps from its responses and sends on later requests of any of its
// connections, unless cookies are switched off.
namespace corvelle::platform::testing {
namespace {

using corvelle::testing::MakeResponse;
using corvelle::testing::RawServer;

std::string CookieLineOf(const std::string& request) {
  const auto at = request.find("\r\nCookie: ");
  if (at == std::string::npos) {
    return {};
  }
  return request.substr(at + 10, request.find("\r\n", at + 10) - at - 10);
}

TEST(PlatformSessionCookies, KeptAcrossConnectionsOfTheSameSessionOnly) {
  RawServer setter(RawServer::Respond({MakeResponse(
      200, "OK", {"Set-Cookie: a=1; Path=/", "Set-Cookie: b=2; Path=/app", "set-cookie: c=3"}, "")}));
  RawServer reader(RawServer::Respond({MakeResponse(200, "OK", {}, "")}));
  Client client;
  ASSERT_TRUE(client.Fetch("GET", setter.Origin() + "/").received);
  ASSERT_TRUE(client.Fetch("GET", reader.Origin() + "/app/page").received);
  ASSERT_TRUE(client.Fetch("GET", reader.Origin() + "/other").received);
  Client stranger;
  ASSERT_TRUE(stranger.Fetch("GET", reader.Origin() + "/app/page").received);
  const auto requests = reader.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(CookieLineOf(requests[0]), "b=2; a=1; c=3");
  EXPECT_EQ(CookieLineOf(requests[1]), "a=1; c=3");
  EXPECT_EQ(CookieLineOf(requests[2]), "");
}

TEST(PlatformSessionCookies, CallerCookieComesFirst) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {"Set-Cookie: kept=1"}, "")}));
  Client client;
  ASSERT_TRUE(client.Fetch("GET", server.Origin() + "/").received);
  ASSERT_TRUE(client.Fetch("GET", server.Origin() + "/", "Cookie:mine=2").received);
  EXPECT_EQ(CookieLineOf(server.Requests().at(1)), "mine=2; kept=1");
}

TEST(PlatformSessionCookies, DisabledCookiesAreNeitherKeptNorSent) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {"Set-Cookie: a=1"}, "")}));
  Client client;
  const std::uint32_t noCookies = kDisableCookies;
  ASSERT_NE(client.Open("GET", server.Origin() + "/"), 0u);
  ASSERT_TRUE(HttpSetOption(client.Request(), kOptionDisableFeature, &noCookies, sizeof noCookies));
  ASSERT_TRUE(client.Finish().received);
  ASSERT_TRUE(client.Fetch("GET", server.Origin() + "/").received);
  ASSERT_TRUE(client.Fetch("GET", server.Origin() + "/").received);
  ASSERT_NE(client.Open("GET", server.Origin() + "/"), 0u);
  ASSERT_TRUE(HttpSetOption(client.Request(), kOptionDisableFeature, &noCookies, sizeof noCookies));
  ASSERT_TRUE(client.Finish().received);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(CookieLineOf(requests[1]), "");
  EXPECT_EQ(CookieLineOf(requests[2]), "a=1");
  EXPECT_EQ(CookieLineOf(requests[3]), "");
}

TEST(PlatformSessionCookies, ExpiredCookieIsDropped) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {"Set-Cookie: a=1"}, ""),
                                       MakeResponse(200, "OK", {"Set-Cookie: a=; Max-Age=0"}, ""),
                                       MakeResponse(200, "OK", {}, "")}));
  Client client;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(client.Fetch("GET", server.Origin() + "/").received);
  }
  const auto requests = server.Requests();
  EXPECT_EQ(CookieLineOf(requests.at(1)), "a=1");
  EXPECT_EQ(CookieLineOf(requests.at(2)), "");
}

}  // namespace
}  // namespace corvelle::platform::testing
