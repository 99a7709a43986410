#include <gtest/gtest.h>

#include <string>

#include "http/http_session.h"
#include "http/wire_request.h"
#include "support/local_http_server.h"
#include "support/raw_server.h"
#include "support/test_certificate.h"

// HTTPS with the one-time certificate leniency, and requests through a proxy with its credentials.
namespace corvelle {
namespace {

using testing::LocalHttpServer;
using testing::MakeResponse;
using testing::ParseWireRequest;
using testing::RawServer;
using testing::WireRequest;

class HttpTlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.Routes().Get("/", [](const httplib::Request&, httplib::Response& response) {
      response.set_content("secure", "text/plain");
    });
    ASSERT_TRUE(server.Start());
  }

  // Status of one GET of the server's root.
  int Fetch(HttpSession& session) {
    EXPECT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
    static_cast<void>(session.SendText());
    return session.GetStatusCode();
  }

  LocalHttpServer server{LocalHttpServer::Scheme::kHttps};
};

TEST_F(HttpTlsTest, UntrustedCertificatePassesOnlyOnTheFirstRequest) {
  HttpSession session;
  EXPECT_EQ(Fetch(session), 200);
  EXPECT_EQ(session.GetResponseText(), "secure");
  EXPECT_EQ(session.Scheme(), 2);
  EXPECT_FALSE(session.IgnoreCertErrorsPending());
  EXPECT_EQ(Fetch(session), 0);
  EXPECT_EQ(Fetch(session), 0);
  session.ResetDefaults();
  EXPECT_EQ(Fetch(session), 200);
  session.Reopen();
  EXPECT_EQ(Fetch(session), 200);
}

TEST_F(HttpTlsTest, TrustedCertificatePassesEveryTime) {
  const testing::TestCertificate& certificate = testing::TestCertificate::Instance();
  ASSERT_TRUE(certificate.Valid());
  testing::ScopedEnvironment trust("SSL_CERT_FILE", certificate.CertFile().c_str());
  HttpSession session;
  EXPECT_EQ(Fetch(session), 200);
  EXPECT_EQ(Fetch(session), 200);
}

// A proxy that answers every request itself, so the requests it read show what the client sent it.
class HttpProxyTest : public ::testing::Test {
 protected:
  RawServer proxy{RawServer::Respond({MakeResponse(200, "OK", {}, "via proxy")})};
  RawServer direct{RawServer::Respond({MakeResponse(200, "OK", {}, "direct")})};
  HttpSession session;

  std::string ProxyName() const { return "127.0.0.1:" + std::to_string(proxy.Port()); }
  WireRequest LastAtProxy() const { return ParseWireRequest(proxy.Requests().back()); }
};

TEST_F(HttpProxyTest, PendingCredentialsGoToTheNextRequestOnly) {
  ASSERT_TRUE(session.SetProxy(ProxyName(), "user", "pw"));
  EXPECT_TRUE(session.ProxyCredentialsPending());
  ASSERT_TRUE(session.OpenRequest("GET", "http://target.invalid/page?x=1"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(session.GetResponseText(), "via proxy");
  EXPECT_FALSE(session.ProxyCredentialsPending());
  const WireRequest first = LastAtProxy();
  EXPECT_EQ(first.target, "http://target.invalid/page?x=1");
  EXPECT_EQ(first.Header("Proxy-Authorization"), "Basic dXNlcjpwdw==");
  ASSERT_TRUE(session.OpenRequest("GET", "http://target.invalid/again"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(LastAtProxy().Count("Proxy-Authorization"), 0);
}

TEST_F(HttpProxyTest, CredentialsGoToTheOpenRequestAtOnce) {
  ASSERT_TRUE(session.OpenRequest("GET", "http://target.invalid/"));
  ASSERT_TRUE(session.SetProxy(ProxyName(), "u", "p"));
  EXPECT_FALSE(session.ProxyCredentialsPending());
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(LastAtProxy().Header("Proxy-Authorization"), "Basic dTpw");
}

TEST_F(HttpProxyTest, EmptyProxyGoesDirect) {
  ASSERT_TRUE(session.SetProxy(ProxyName()));
  ASSERT_TRUE(session.SetProxy(""));
  ASSERT_TRUE(session.OpenRequest("GET", direct.Origin() + "/"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(session.GetResponseText(), "direct");
  EXPECT_TRUE(proxy.Requests().empty());
}

TEST_F(HttpProxyTest, ExchangesTakeTheProxyArgument) {
  EXPECT_TRUE(session.Get("http://target.invalid/get", std::nullopt, std::nullopt, ProxyName()));
  EXPECT_EQ(LastAtProxy().target, "http://target.invalid/get");
  EXPECT_TRUE(session.PostText("http://target.invalid/post", "a=1", std::nullopt, std::nullopt, ProxyName()));
  EXPECT_EQ(LastAtProxy().body, "a=1");
}

TEST_F(HttpProxyTest, CopyKeepsTheProxy) {
  ASSERT_TRUE(session.SetProxy(ProxyName()));
  HttpSession copy(session);
  ASSERT_TRUE(copy.OpenRequest("GET", "http://target.invalid/copy"));
  ASSERT_TRUE(copy.SendText());
  EXPECT_EQ(copy.GetResponseText(), "via proxy");
}

}  // namespace
}  // namespace corvelle
