#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "http/http_session.h"
#include "http/wire_request.h"
#include "support/raw_server.h"

// The session's own redirect following (cookie modes 1 and 2) and the Location reader.
namespace corvelle {
namespace {

using testing::MakeResponse;
using testing::ParseWireRequest;
using testing::RawServer;
using testing::Serve;
using testing::WireRequest;

// "/hop/N" redirects to "/hop/N+1" until N reaches `last`, which answers 200 "end".
RawServer::Script HopChain(int last) {
  return Serve([last](const WireRequest& request) {
    const int hop = std::atoi(request.target.substr(std::string("/hop/").size()).c_str());
    if (hop >= last) return MakeResponse(200, "OK", {}, "end");
    return MakeResponse(302, "Found", {"Location: /hop/" + std::to_string(hop + 1)}, "");
  });
}

TEST(HttpRedirectTest, ChainWithinTheLimitEndsAtTheTarget) {
  RawServer server(HopChain(20));
  HttpSession session;
  session.SetCookieMode(1);
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/hop/0"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(session.GetStatusCode(), 200);
  EXPECT_EQ(session.GetResponseText(), "end");
  EXPECT_EQ(server.Requests().size(), 21U);
  EXPECT_EQ(session.Url(), server.Origin() + "/hop/20");
  EXPECT_EQ(session.RedirectCount(), 0);
}

TEST(HttpRedirectTest, TwentyFollowUpsAtMost) {
  RawServer server(HopChain(25));
  HttpSession session;
  session.SetCookieMode(1);
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/hop/0"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(server.Requests().size(), 21U);
  EXPECT_EQ(session.GetStatusCode(), 302);
  EXPECT_EQ(session.GetRedirectLocation(), "/hop/21");
  EXPECT_EQ(session.RedirectCount(), 0);
  // The next chain starts counting afresh.
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/hop/5"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(session.GetStatusCode(), 200);
}

TEST(HttpRedirectTest, CookiesOfEveryHopReachTheJarAndTheNextHop) {
  RawServer server(Serve([](const WireRequest& request) {
    if (request.target == "/login") {
      return MakeResponse(302, "Found", {"Set-Cookie: sid=abc; path=/", "Location: /step"}, "");
    }
    if (request.target == "/step") {
      return MakeResponse(301, "Moved", {"Set-Cookie: step=2", "Location: /home"}, "");
    }
    return MakeResponse(200, "OK", {}, "cookie " + request.Header("Cookie").value_or("none"));
  }));
  HttpSession session;
  session.SetCookieMode(1);
  ASSERT_TRUE(session.OpenRequest("POST", server.Origin() + "/login"));
  ASSERT_TRUE(session.SetHeader("X-Only-First", "1"));
  ASSERT_TRUE(session.SendText("user=me"));
  EXPECT_EQ(session.GetResponseText(), "cookie sid=abc; step=2");
  EXPECT_EQ(session.CookieJar(), "sid=abc; step=2");
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 3U);
  const WireRequest hop = ParseWireRequest(requests[1]);
  EXPECT_EQ(hop.method, "GET");
  EXPECT_EQ(hop.Header("Cookie"), "sid=abc");
  EXPECT_EQ(hop.Count("X-Only-First"), 0);
  // A redirected POST still counts as a POST for the default Content-Type.
  EXPECT_EQ(hop.Header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST(HttpRedirectTest, AnyStatusWithLocationIsFollowed) {
  RawServer server(Serve([](const WireRequest& request) {
    if (request.target == "/start") return MakeResponse(200, "OK", {"Location: /moved"}, "first");
    return MakeResponse(200, "OK", {}, "second");
  }));
  HttpSession session;
  session.SetCookieMode(2);
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/start"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(session.GetResponseText(), "second");
}

TEST(HttpRedirectTest, SwitchedOffReturnsTheRedirectItself) {
  RawServer server(HopChain(3));
  HttpSession session;
  session.SetCookieMode(1);
  session.SetFollowRedirects(0);
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/hop/0"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(session.GetStatusCode(), 302);
  EXPECT_EQ(session.GetRedirectLocation(1), server.Origin() + "/hop/1");
  EXPECT_EQ(server.Requests().size(), 1U);
}

TEST(HttpRedirectTest, ModeZeroLeavesRedirectsToThePlatform) {
  RawServer server(HopChain(3));
  HttpSession session;
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/hop/0"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(session.GetStatusCode(), 200);
  EXPECT_EQ(session.GetResponseText(), "end");
  session.SetFollowRedirects(0);
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/hop/0"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(session.GetStatusCode(), 302);
}

TEST(HttpRedirectTest, UnreachableHopEndsTheChainWithoutResponse) {
  std::uint16_t closedPort = 0;
  {
    RawServer probe(RawServer::Respond({}));
    closedPort = probe.Port();
  }
  const std::string target = "http://127.0.0.1:" + std::to_string(closedPort) + "/";
  RawServer server(RawServer::Respond({MakeResponse(302, "Found", {"Location: " + target}, "")}));
  HttpSession session;
  session.SetCookieMode(1);
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  EXPECT_TRUE(session.SendText());
  EXPECT_EQ(session.GetStatusCode(), 0);
  EXPECT_TRUE(session.GetResponseBytes().empty());
  EXPECT_EQ(session.RedirectCount(), 0);
}

struct LocationCase {
  std::string label;
  std::string requestPath;
  std::string location;  // "-" for no Location header
  std::string absolute;  // "ORIGIN" stands for http://127.0.0.1:port
  std::string raw;
};

void PrintTo(const LocationCase& row, std::ostream* out) {
  *out << row.label;
}

class HttpRedirectLocationTest : public ::testing::TestWithParam<LocationCase> {};

TEST_P(HttpRedirectLocationTest, ResolvesAgainstTheCurrentUrl) {
  const LocationCase& row = GetParam();
  std::vector<std::string> headers = {"Content-Location: /not-this"};
  if (row.location != "-") headers.push_back("Location: " + row.location + " ");
  RawServer server(RawServer::Respond({MakeResponse(302, "Found", headers, "")}));
  HttpSession session;
  session.SetFollowRedirects(0);
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + row.requestPath));
  ASSERT_TRUE(session.SendText());
  std::string expected = row.absolute;
  if (expected.starts_with("ORIGIN")) expected = server.Origin() + expected.substr(6);
  EXPECT_EQ(session.GetRedirectLocation(1), expected);
  EXPECT_EQ(session.GetRedirectLocation(), row.raw);
}

const LocationCase kLocationCases[] = {
    {"RootRelative", "/a/b.html", "/x?y=1", "ORIGIN/x?y=1", "/x?y=1"},
    {"RelativeReplacesFileName", "/dir/page.html?q=a/b", "other.html", "ORIGIN/dir/other.html", "other.html"},
    {"RelativeWithoutPath", "", "x", "ORIGIN/x", "x"},
    {"AbsoluteKept", "/", "HTTPS://example.com/z", "HTTPS://example.com/z", "HTTPS://example.com/z"},
    {"ContentLocationIsNotLocation", "/", "-", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Locations, HttpRedirectLocationTest, ::testing::ValuesIn(kLocationCases),
                         [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace corvelle
