#include <gtest/gtest.h>

#include <string>

#include "platform/client.h"
#include "support/local_http_server.h"
#include "support/raw_server.h"
#include "support/test_certificate.h"

// HTTPS trust and its leniency, named proxies with credentials, and server credentials.
namespace corvelle::platform::testing {
namespace {

using corvelle::testing::LocalHttpServer;
using corvelle::testing::MakeResponse;
using corvelle::testing::RawConnection;
using corvelle::testing::RawServer;
using corvelle::testing::ScopedEnvironment;
using corvelle::testing::TestCertificate;

class PlatformHttps : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(TestCertificate::Instance().Valid());
    server_.Routes().Get("/hello", [](const httplib::Request&, httplib::Response& response) {
      response.set_content("secret", "text/plain");
    });
    server_.Routes().Get("/big", [](const httplib::Request&, httplib::Response& response) {
      response.set_content(std::string(3 * 1048576, 'z'), "application/octet-stream");
    });
    ASSERT_TRUE(server_.Start());
  }

  void SetSecurityFlags(HttpHandle handle, std::uint32_t flags) {
    ASSERT_TRUE(HttpSetOption(handle, kOptionSecurityFlags, &flags, sizeof flags));
  }

  LocalHttpServer server_{LocalHttpServer::Scheme::kHttps};
};

TEST_F(PlatformHttps, UntrustedCertificateIsASecureFailure) {
  Client client;
  const Response response = client.Fetch("GET", server_.Origin() + "/hello");
  EXPECT_FALSE(response.received);
  EXPECT_EQ(response.error, kErrorSecureFailure);
}

TEST_F(PlatformHttps, CertificateFileFromTheEnvironmentIsTrusted) {
  ScopedEnvironment trust("SSL_CERT_FILE", TestCertificate::Instance().CertFile().c_str());
  Client client;
  const Response response = client.Fetch("GET", server_.Origin() + "/hello");
  EXPECT_EQ(response.body, "secret");
}

TEST_F(PlatformHttps, SecurityFlagsMakeThatRequestLenient) {
  Client client;
  ASSERT_NE(client.Open("GET", server_.Origin() + "/hello"), 0u);
  SetSecurityFlags(client.Request(), kSecurityIgnoreAllCertErrors);
  EXPECT_EQ(client.Finish().body, "secret");
  const Response strict = client.Fetch("GET", server_.Origin() + "/hello");
  EXPECT_EQ(strict.error, kErrorSecureFailure);
}

TEST_F(PlatformHttps, LargeBodyIsReadCompletely) {
  Client client;
  SetSecurityFlags(client.Session(), kSecurityIgnoreAllCertErrors);
  const Response response = client.Fetch("GET", server_.Origin() + "/big");
  ASSERT_TRUE(response.bodyComplete) << response.error;
  EXPECT_EQ(response.body, std::string(3 * 1048576, 'z'));
}

TEST_F(PlatformHttps, TunnelsThroughANamedProxyWithCredentials) {
  const std::uint16_t target = server_.Port();
  RawServer proxy([target](RawConnection& connection) {
    std::string request;
    if (connection.ReadRequest(request) && request.starts_with("CONNECT ")) {
      connection.Send("HTTP/1.1 200 Connection established\r\n\r\n");
      connection.Tunnel(target);
    }
  });
  Client client;
  SetSecurityFlags(client.Session(), kSecurityIgnoreAllCertErrors);
  const std::u16string proxyName = Wide("127.0.0.1:" + std::to_string(proxy.Port()));
  const ProxyInfo info{kAccessTypeNamedProxy, proxyName};
  ASSERT_TRUE(HttpSetOption(client.Session(), kOptionProxy, &info, sizeof info));
  const char16_t user[] = u"pu";
  const char16_t password[] = u"pp";
  ASSERT_TRUE(HttpSetOption(client.Session(), kOptionProxyUsername, user, sizeof user));
  ASSERT_TRUE(HttpSetOption(client.Session(), kOptionProxyPassword, password, sizeof password));
  EXPECT_EQ(client.Fetch("GET", server_.Origin() + "/hello").body, "secret");
  // The untrusted certificate is first met by a verified try, so the lenient exchange is a second tunnel.
  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 2u);
  const std::string authority = "127.0.0.1:" + std::to_string(target);
  for (const std::string& request : requests) {
    EXPECT_TRUE(request.starts_with("CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n"));
    EXPECT_NE(request.find("Proxy-Authorization: Basic cHU6cHA=\r\n"), std::string::npos);
  }
}

TEST(PlatformProxy, PlainRequestGoesToTheProxyAndNoProxySwitchesItOff) {
  RawServer proxy(RawServer::Respond({MakeResponse(200, "OK", {}, "from proxy")}));
  RawServer origin(RawServer::Respond({MakeResponse(200, "OK", {}, "from origin")}));
  Client client(u"ua");
  const std::u16string proxyName = Wide("127.0.0.1:" + std::to_string(proxy.Port()));
  ProxyInfo info{kAccessTypeNamedProxy, proxyName};
  ASSERT_TRUE(HttpSetOption(client.Session(), kOptionProxy, &info, sizeof info));
  EXPECT_EQ(client.Fetch("GET", origin.Origin() + "/p?q").body, "from proxy");
  EXPECT_TRUE(proxy.Requests().at(0).starts_with("GET " + origin.Origin() + "/p?q HTTP/1.1\r\n"));
  info = ProxyInfo{kAccessTypeNoProxy, {}};
  ASSERT_TRUE(HttpSetOption(client.Session(), kOptionProxy, &info, sizeof info));
  EXPECT_EQ(client.Fetch("GET", origin.Origin() + "/").body, "from origin");
}

TEST(PlatformCredentials, BasicCredentialsGoWithTheRequest) {
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", {}, "")}));
  Client client(u"ua");
  ASSERT_NE(client.Open("GET", server.Origin() + "/private"), 0u);
  ASSERT_TRUE(HttpSetCredentials(client.Request(), kAuthTargetServer, kAuthSchemeBasic, u"user", u"pass"));
  ASSERT_TRUE(client.Finish().received);
  EXPECT_EQ(server.Requests().at(0),
            "GET /private HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                "\r\nAuthorization: Basic dXNlcjpwYXNz\r\nUser-Agent: ua\r\n\r\n");
}

}  // namespace
}  // namespace corvelle::platform::testing
