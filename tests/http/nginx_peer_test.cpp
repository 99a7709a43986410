#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "http/http_session.h"
#include "platform/cookie_store.h"
#include "support/nginx_server.h"

// nginx as an independent peer: redirects with cookies, chunked bodies, large static files and keep-alive.
namespace corvelle {
namespace {

using testing::NginxServer;

class HttpNginxPeerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(nginx.Running()); }

  NginxServer nginx;
  HttpSession session;
};

TEST_F(HttpNginxPeerTest, RedirectHopCookieReachesTheJar) {
  session.SetCookieMode(1);
  ASSERT_TRUE(session.OpenRequest("GET", nginx.Origin() + "/hop"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(session.GetStatusCode(), 200);
  EXPECT_EQ(session.GetResponseText(), "hello from nginx\n");
  EXPECT_EQ(session.GetJarCookie("hop"), "1");
  EXPECT_EQ(session.Url(), nginx.Origin() + "/index.html");
}

TEST_F(HttpNginxPeerTest, RedirectNotFollowedGivesAbsoluteLocation) {
  session.SetCookieMode(1);
  session.SetFollowRedirects(0);
  ASSERT_TRUE(session.OpenRequest("GET", nginx.Origin() + "/redirect"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(session.GetStatusCode(), 302);
  const Text location = session.GetRedirectLocation(1);
  EXPECT_TRUE(location.ends_with("/index.html")) << location;
}

TEST_F(HttpNginxPeerTest, SystemStoreTakesTheCookie) {
  platform::ClearStoredCookies();
  session.SetCookieMode(2);
  ASSERT_TRUE(session.Get(nginx.Origin() + "/set-cookie"));
  EXPECT_EQ(session.GetResponseCookie("nginx"), "1");
  EXPECT_EQ(platform::GetStoredCookies(nginx.Origin() + "/index.html"), "nginx=1");
  platform::ClearStoredCookies();
}

TEST_F(HttpNginxPeerTest, ChunkedBodyHasNoAnnouncedLength) {
  ASSERT_TRUE(session.Get(nginx.Origin() + "/chunked/"));
  EXPECT_EQ(session.ContentLength(), -1);
  EXPECT_FALSE(session.GetResponseBytes().empty());
}

TEST_F(HttpNginxPeerTest, KeepAliveServesManyRequestsAndBigFiles) {
  const std::string big = testing::NginxBigFileContent();
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(session.Get(nginx.Origin() + "/index.html"));
    EXPECT_EQ(session.GetResponseText(), "hello from nginx\n");
    ASSERT_TRUE(session.Get(nginx.Origin() + "/big.bin"));
    const Bytes body = session.GetResponseBytes();
    ASSERT_EQ(body.size(), big.size());
    EXPECT_TRUE(std::equal(body.begin(), body.end(), big.begin(),
                           [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
  }
}

TEST_F(HttpNginxPeerTest, MissingFileIsAFailedExchange) {
  EXPECT_FALSE(session.Get(nginx.Origin() + "/missing"));
  EXPECT_EQ(session.GetStatusCode(), 404);
}

}  // namespace
}  // namespace corvelle
