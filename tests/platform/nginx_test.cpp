#include <gtest/gtest.h>

#include <string>

#include "platform/client.h"
#include "support/nginx_server.h"

// Against an independent, real web server: what the layer does must hold there too.
namespace corvelle::platform::testing {
namespace {

using corvelle::testing::NginxBigFileContent;
using corvelle::testing::NginxServer;

class PlatformNginx : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new NginxServer(); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(server_->Running()); }

  static NginxServer* server_;
};

NginxServer* PlatformNginx::server_ = nullptr;

TEST_F(PlatformNginx, StaticFilesOverOneKeptAliveConnection) {
  Client client;
  EXPECT_EQ(client.Fetch("GET", server_->Origin() + "/index.html").body, "hello from nginx\n");
  const HttpHandle connection = client.Connection();
  const Response big = client.Fetch("GET", server_->Origin() + "/big.bin");
  EXPECT_EQ(client.Connection(), connection);
  ASSERT_TRUE(big.bodyComplete) << big.error;
  EXPECT_EQ(big.body, NginxBigFileContent());
  EXPECT_NE(big.head.find("Connection: keep-alive\r\n"), std::string::npos);
}

TEST_F(PlatformNginx, ChunkedBodyIsDecoded) {
  Client client;
  const Response response = client.Fetch("GET", server_->Origin() + "/chunked/");
  ASSERT_TRUE(response.bodyComplete) << response.error;
  EXPECT_NE(response.head.find("Transfer-Encoding: chunked\r\n"), std::string::npos);
  EXPECT_EQ(response.body, "chunked /chunked/index.html body\n");
}

TEST_F(PlatformNginx, RedirectIsFollowedOrHandedBack) {
  Client client;
  const Response response = client.Fetch("GET", server_->Origin() + "/hop");
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.body, "hello from nginx\n");
  ASSERT_NE(client.Open("GET", server_->Origin() + "/redirect"), 0u);
  const std::uint32_t noRedirects = kDisableRedirects;
  ASSERT_TRUE(HttpSetOption(client.Request(), kOptionDisableFeature, &noRedirects, sizeof noRedirects));
  const Response redirect = client.Finish();
  EXPECT_EQ(redirect.status, 302);
  EXPECT_NE(
      redirect.head.find("Location: http://127.0.0.1:" + std::to_string(server_->Port()) + "/index.html\r\n"),
      std::string::npos);
}

TEST_F(PlatformNginx, ResponseHeadEndsWithAnEmptyLine) {
  Client client;
  const Response response = client.Fetch("GET", server_->Origin() + "/set-cookie");
  EXPECT_TRUE(response.head.starts_with("HTTP/1.1 200 OK\r\nServer: nginx"));
  EXPECT_TRUE(response.head.ends_with("\r\nSet-Cookie: nginx=1; Path=/\r\n\r\n"));
  EXPECT_EQ(response.body, "cookie set\n");
}

}  // namespace
}  // namespace corvelle::platform::testing
