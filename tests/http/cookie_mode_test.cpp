#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "http/http_session.h"
#include "http/wire_request.h"
#include "platform/cookie_store.h"
#include "support/raw_server.h"

// The three cookie modes: the response's Set-Cookie headers merged into the jar (mode 1) or the cookie
// store (mode 2), and what the next request carries.
namespace corvelle {
namespace {

using testing::MakeResponse;
using testing::ParseWireRequest;
using testing::RawServer;
using testing::WireRequest;

struct MergeCase {
  std::string label;
  std::string jarBefore;
  std::vector<std::string> headers;
  int keepOnEmpty;
  std::string jarAfter;
};

void PrintTo(const MergeCase& row, std::ostream* out) {
  *out << row.label;
}

class HttpJarMergeTest : public ::testing::TestWithParam<MergeCase> {};

TEST_P(HttpJarMergeTest, ResponseCookiesReachTheJar) {
  const MergeCase& row = GetParam();
  RawServer server(RawServer::Respond({MakeResponse(200, "OK", row.headers, "")}));
  HttpSession session;
  session.SetCookieMode(1);
  static_cast<void>(session.CookieJar(row.jarBefore));
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  ASSERT_TRUE(session.SendText(std::nullopt, row.keepOnEmpty));
  EXPECT_EQ(session.CookieJar(), row.jarAfter);
  EXPECT_EQ(session.CookieJarLength(),
            static_cast<int>(row.jarAfter.size() + (row.jarAfter.empty() ? 2 : 4)));
}

const MergeCase kMergeCases[] = {
    {"NewCookiesInOrder", "", {"Set-Cookie: A=1; path=/", "set-cookie:B=2"}, 0, "A=1; B=2"},
    {"DeletionRemoves",
     "A=1; B=2",
     {"Set-Cookie: A=deleted; expires=Thu, 01 Jan 1970 00:00:01 GMT"},
     0,
     "B=2"},
    {"DeletionKept", "A=1; B=2", {"Set-Cookie: A=DELETED"}, 1, "A=1; B=2"},
    {"EmptyValueKept", "A=1", {"Set-Cookie: A="}, 1, "A=1"},
    {"EmptyValueStored", "A=1", {"Set-Cookie: A=; path=/"}, 0, "A="},
    {"DeletionOfUnknownAddsNothing", "B=2", {"Set-Cookie: A=Deleted"}, 0, "B=2"},
    {"WholeNameOnly", "AB=1; A=1", {"Set-Cookie: A=9"}, 1, "AB=1; A=9"},
    {"ReplacedKeepsPlace", "A=1; B=2", {"Set-Cookie: A=3"}, 1, "A=3; B=2"},
    {"PairWithoutEqualsSkipped", "", {"Set-Cookie: junk; path=/"}, 0, ""},
    {"HeaderValueIsNoCookie", "", {"X-Note: Set-Cookie: evil=1"}, 0, ""},
};

INSTANTIATE_TEST_SUITE_P(Responses, HttpJarMergeTest, ::testing::ValuesIn(kMergeCases),
                         [](const auto& info) { return info.param.label; });

class HttpCookieModeTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ClearStoredCookies(); }
  void TearDown() override { platform::ClearStoredCookies(); }

  RawServer server{RawServer::Respond({MakeResponse(200, "OK", {"Set-Cookie: s=1; Path=/"}, "")})};
  HttpSession session;

  WireRequest SendTo(std::string_view path) {
    EXPECT_TRUE(session.OpenRequest("GET", server.Origin() + std::string(path)));
    EXPECT_TRUE(session.SendText());
    return ParseWireRequest(server.Requests().back());
  }
};

TEST_F(HttpCookieModeTest, JarIsSentAndReplacesTheCallersCookie) {
  session.SetCookieMode(1);
  static_cast<void>(session.CookieJar("a=1; b=2"));
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  ASSERT_TRUE(session.SetHeader("Cookie", "mine=1"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(ParseWireRequest(server.Requests().back()).Header("Cookie"), "a=1; b=2");
  EXPECT_EQ(SendTo("/").Header("Cookie"), "a=1; b=2; s=1");
}

TEST_F(HttpCookieModeTest, EmptyJarSendsNoCookie) {
  session.SetCookieMode(1);
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  ASSERT_TRUE(session.SetHeader("Cookie", "mine=1"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(ParseWireRequest(server.Requests().back()).Count("Cookie"), 0);
}

TEST_F(HttpCookieModeTest, RequestCookiesJoinTheJarInModeOne) {
  session.SetCookieMode(1);
  EXPECT_TRUE(session.SetRequestCookies("x=1; y=2"));
  EXPECT_EQ(session.CookieJar(), "x=1; y=2");
  EXPECT_EQ(SendTo("/").Header("Cookie"), "x=1; y=2");
}

TEST_F(HttpCookieModeTest, SystemStoreKeepsCookiesForTheUrl) {
  session.SetCookieMode(2);
  EXPECT_EQ(SendTo("/first").Count("Cookie"), 0);
  EXPECT_EQ(platform::GetStoredCookies(server.Origin() + "/"), "s=1");
  EXPECT_EQ(SendTo("/second").Header("Cookie"), "s=1");
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  EXPECT_TRUE(session.SetRequestCookies("t=2; bare"));
  ASSERT_TRUE(session.SendText());
  const std::optional<std::string> sent = ParseWireRequest(server.Requests().back()).Header("Cookie");
  ASSERT_TRUE(sent.has_value());
  EXPECT_NE(sent->find("t=2"), std::string::npos);
  EXPECT_NE(sent->find("s=1"), std::string::npos);
  EXPECT_EQ(session.CookieJar(), "");
}

TEST_F(HttpCookieModeTest, SystemStoreDeletesUnlessKept) {
  RawServer deleting(RawServer::Respond({MakeResponse(200, "OK", {"Set-Cookie: s=deleted"}, "")}));
  session.SetCookieMode(2);
  const std::string url = deleting.Origin() + "/";
  ASSERT_TRUE(platform::SetStoredCookie(url, "s", "1; path=/"));
  ASSERT_TRUE(session.OpenRequest("GET", url));
  ASSERT_TRUE(session.SendText(std::nullopt, 1));
  EXPECT_EQ(platform::GetStoredCookies(url), "s=1");
  ASSERT_TRUE(session.OpenRequest("GET", url));
  ASSERT_TRUE(session.SendText(std::nullopt, 0));
  EXPECT_EQ(platform::GetStoredCookies(url), "");
}

TEST_F(HttpCookieModeTest, ModeZeroLeavesCookiesToThePlatformUntilSetByHand) {
  EXPECT_EQ(SendTo("/").Count("Cookie"), 0);
  EXPECT_EQ(SendTo("/").Header("Cookie"), "s=1");
  EXPECT_EQ(session.CookieJar(), "");
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  ASSERT_TRUE(session.SetRequestCookies("manual=1"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(ParseWireRequest(server.Requests().back()).Header("Cookie"), "manual=1");
  // A Cookie header set by hand, in any letter case, also keeps the platform's cookies off the request.
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  ASSERT_TRUE(session.SetHeader("COOKIE", "byhand=1"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(ParseWireRequest(server.Requests().back()).Header("Cookie"), "byhand=1");
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  ASSERT_TRUE(session.AddHeaderLines("X-A:1\r\ncookie:lines=1"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(ParseWireRequest(server.Requests().back()).Header("Cookie"), "lines=1");
  EXPECT_EQ(SendTo("/").Header("Cookie"), "s=1");
}

TEST(HttpResponseCookieTest, ReadsSetCookieHeadersOnly) {
  RawServer server(
      RawServer::Respond({MakeResponse(200, "OK",
                                       {"X-Note: Set-Cookie: evil=1", "Set-Cookie: A=1; path=/",
                                        "set-cookie:b=deleted", "SET-COOKIE:  C=3", "Set-Cookie: D=4"},
                                       "")}));
  HttpSession session;
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "/"));
  ASSERT_TRUE(session.SendText());
  EXPECT_EQ(session.GetResponseCookies(), "A=1; C=3; D=4");
  EXPECT_EQ(session.GetResponseCookie("a"), "1");
  EXPECT_EQ(session.GetResponseCookie("B"), "deleted");
  EXPECT_EQ(session.GetResponseCookie("c"), "3");
  EXPECT_EQ(session.GetResponseCookie("D"), "4");
  EXPECT_EQ(session.GetResponseCookie("evil"), "");
  EXPECT_EQ(session.GetResponseCookie("E"), "");
  EXPECT_EQ(session.GetResponseHeader("x-note"), "Set-Cookie: evil=1");
  EXPECT_EQ(session.GetResponseHeader("HTTP/1.1 200 OK\r\nX-Note"), "");
}

}  // namespace
}  // namespace corvelle
