#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/client.h"
#include "support/local_http_server.h"
#include "support/raw_server.h"

namespace corvelle::platform::testing {
namespace {

using corvelle::testing::LocalHttpServer;
using corvelle::testing::MakeResponse;
using corvelle::testing::RawServer;

std::string Redirect(int status, const std::string& location, std::vector<std::string> extra = {}) {
  extra.push_back("Location: " + location);
  return MakeResponse(status, "Moved", extra, "moved");
}

std::string HostLine(const RawServer& server) {
  return "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n";
}

void Disable(HttpHandle handle, std::uint32_t feature) {
  ASSERT_TRUE(HttpSetOption(handle, kOptionDisableFeature, &feature, sizeof feature));
}

TEST(PlatformRedirects, FollowsARelativeChainAndKeepsTheFinalHead) {
  RawServer server(RawServer::Respond({Redirect(302, "b/c"), Redirect(301, "/final?q=1"),
                                       MakeResponse(200, "OK", {"X-Final: yes"}, "done")}));
  Client client(u"ua");
  const Response response = client.Fetch("GET", server.Origin() + "/a/start");
  ASSERT_TRUE(response.bodyComplete) << response.error;
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.body, "done");
  EXPECT_EQ(response.head, "HTTP/1.1 200 OK\r\nX-Final: yes\r\nContent-Length: 4\r\n\r\n");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1], "GET /a/b/c HTTP/1.1\r\n" + HostLine(server) + "User-Agent: ua\r\n\r\n");
  EXPECT_EQ(requests[2], "GET /final?q=1 HTTP/1.1\r\n" + HostLine(server) + "User-Agent: ua\r\n\r\n");
  EXPECT_EQ(server.Connections(), 1);
}

TEST(PlatformRedirects, TenHopsAreFollowedAndAnEleventhFails) {
  std::vector<std::string> tenHops(10, Redirect(302, "/again"));
  tenHops.push_back(MakeResponse(200, "OK", {}, "end"));
  RawServer allowed(RawServer::Respond(tenHops));
  Client client;
  EXPECT_EQ(client.Fetch("GET", allowed.Origin() + "/").body, "end");

  RawServer endless(RawServer::Respond({Redirect(302, "/again")}));
  const Response response = client.Fetch("GET", endless.Origin() + "/");
  EXPECT_FALSE(response.received);
  EXPECT_EQ(response.error, kErrorRedirectFailed);
  EXPECT_EQ(endless.Requests().size(), 11u);
}

TEST(PlatformRedirects, PostBecomesGetOn302AndKeepsOtherHeaders) {
  RawServer server(RawServer::Respond({Redirect(302, "/next"), MakeResponse(200, "OK", {}, "")}));
  Client client(u"ua");
  ASSERT_TRUE(client.Fetch("POST", server.Origin() + "/form", "X-Keep:1\r\nContent-Type:text/plain", "body")
                  .received);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1], "GET /next HTTP/1.1\r\n" + HostLine(server) + "User-Agent: ua\r\nX-Keep: 1\r\n\r\n");
}

TEST(PlatformRedirects, Status307KeepsMethodAndBody) {
  RawServer server(RawServer::Respond({Redirect(307, "/next"), MakeResponse(200, "OK", {}, "")}));
  Client client(u"ua");
  ASSERT_TRUE(client.Fetch("POST", server.Origin() + "/form", {}, "body").received);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1],
            "POST /next HTTP/1.1\r\n" + HostLine(server) + "User-Agent: ua\r\nContent-Length: 4\r\n\r\nbody");
}

TEST(PlatformRedirects, DisabledRedirectsHandBackTheRedirect) {
  RawServer server(RawServer::Respond({Redirect(302, "/next")}));
  Client client;
  ASSERT_NE(client.Open("GET", server.Origin() + "/"), 0u);
  Disable(client.Request(), kDisableRedirects);
  const Response response = client.Finish();
  EXPECT_EQ(response.status, 302);
  EXPECT_NE(response.head.find("Location: /next\r\n"), std::string::npos);
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(PlatformRedirects, CookiesOfIntermediateHopsAreKeptAndSent) {
  RawServer server(RawServer::Respond(
      {Redirect(302, "/next", {"Set-Cookie: hop=1; Path=/"}), MakeResponse(200, "OK", {}, "")}));
  Client client(u"ua");
  ASSERT_TRUE(client.Fetch("GET", server.Origin() + "/").received);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1],
            "GET /next HTTP/1.1\r\n" + HostLine(server) + "User-Agent: ua\r\nCookie: hop=1\r\n\r\n");
}

TEST(PlatformRedirects, CredentialsStayWithTheirServer) {
  RawServer target(RawServer::Respond({MakeResponse(200, "OK", {}, "")}));
  RawServer origin(RawServer::Respond({Redirect(302, target.Origin() + "/there")}));
  Client client(u"ua");
  ASSERT_NE(client.Open("GET", origin.Origin() + "/"), 0u);
  ASSERT_TRUE(HttpSetCredentials(client.Request(), kAuthTargetServer, kAuthSchemeBasic, u"user", u"pass"));
  ASSERT_TRUE(client.Finish().received);
  EXPECT_NE(origin.Requests().at(0).find("Authorization: Basic dXNlcjpwYXNz\r\n"), std::string::npos);
  EXPECT_EQ(target.Requests().at(0), "GET /there HTTP/1.1\r\n" + HostLine(target) + "User-Agent: ua\r\n\r\n");
}

TEST(PlatformRedirects, NeverFromHttpsDownToHttp) {
  RawServer plain(RawServer::Respond({MakeResponse(200, "OK", {}, "plain")}));
  LocalHttpServer secure(LocalHttpServer::Scheme::kHttps);
  secure.Routes().Get("/down", [&plain](const httplib::Request&, httplib::Response& response) {
    response.set_redirect(plain.Origin() + "/", 302);
  });
  ASSERT_TRUE(secure.Start());
  Client client;
  const std::uint32_t lenient = kSecurityIgnoreAllCertErrors;
  ASSERT_TRUE(HttpSetOption(client.Session(), kOptionSecurityFlags, &lenient, sizeof lenient));
  const Response response = client.Fetch("GET", secure.Origin() + "/down");
  EXPECT_EQ(response.status, 302);
  EXPECT_TRUE(plain.Requests().empty());
}

}  // namespace
}  // namespace corvelle::platform::testing
