#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <set>
#include <string>

#include "http/http_session.h"
#include "http/wire_request.h"
#include "support/raw_server.h"

// What reaches the wire: the request line, the default headers and the caller's headers, read back by
// a raw server exactly as they arrived.
namespace corvelle {
namespace {

using testing::MakeResponse;
using testing::ParseWireRequest;
using testing::RawServer;
using testing::WireRequest;

constexpr std::string_view kDefaultAgent = "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2)";
constexpr std::string_view kForm = "application/x-www-form-urlencoded";

class HttpWireTest : public ::testing::Test {
 protected:
  RawServer server{RawServer::Respond({MakeResponse(200, "OK", {}, "ok")})};
  HttpSession session;

  std::string Url(std::string_view path) const { return server.Origin() + std::string(path); }

  // Sends the open request and answers what the server read.
  WireRequest Send(std::optional<std::string_view> body = std::nullopt) {
    EXPECT_TRUE(session.SendText(body));
    const std::vector<std::string> requests = server.Requests();
    return requests.empty() ? WireRequest{} : ParseWireRequest(requests.back());
  }
};

TEST_F(HttpWireTest, PlainGetCarriesOnlyWhatWasAskedFor) {
  ASSERT_TRUE(session.OpenRequest("GET", Url("/p?q=1")));
  const WireRequest request = Send();
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/p?q=1");
  EXPECT_EQ(request.Header("Accept"), "*/*");
  EXPECT_EQ(request.Header("User-Agent"), kDefaultAgent);
  EXPECT_EQ(request.Count("Content-Type"), 0);
  const std::set<std::string> allowed = {"host", "user-agent", "accept", "connection"};
  for (const auto& [name, value] : request.headers) {
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(allowed.contains(lower)) << name << ": " << value;
  }
}

TEST_F(HttpWireTest, PostCarriesFormTypeAndBody) {
  ASSERT_TRUE(session.OpenRequest("post", Url("/form")));
  const WireRequest request = Send("a=1&b=2");
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.Header("Content-Type"), kForm);
  EXPECT_EQ(request.Header("Content-Length"), "7");
  EXPECT_EQ(request.body, "a=1&b=2");
}

TEST_F(HttpWireTest, GetWithoutMethodAfterPostStillCountsAsPost) {
  ASSERT_TRUE(session.OpenRequest("POST", Url("/form")));
  static_cast<void>(Send("a=1"));
  ASSERT_TRUE(session.OpenRequest(std::nullopt, Url("/next")));
  const WireRequest carried = Send();
  EXPECT_EQ(carried.method, "GET");
  EXPECT_EQ(carried.Header("Content-Type"), kForm);
  ASSERT_TRUE(session.OpenRequest("GET", Url("/next")));
  EXPECT_EQ(Send().Count("Content-Type"), 0);
}

TEST_F(HttpWireTest, AutoHeadersOffSendsNoDefaults) {
  session.SetAutoHeaders(0);
  ASSERT_TRUE(session.OpenRequest("POST", Url("/form")));
  const WireRequest request = Send("a=1");
  EXPECT_EQ(request.Count("Accept"), 0);
  EXPECT_EQ(request.Count("Content-Type"), 0);
}

TEST_F(HttpWireTest, CallersAcceptWinsAndRemovingItDoesNotStopTheDefault) {
  ASSERT_TRUE(session.OpenRequest("GET", Url("/")));
  ASSERT_TRUE(session.SetAccept("text/html"));
  const WireRequest own = Send();
  EXPECT_EQ(own.Count("Accept"), 1);
  EXPECT_EQ(own.Header("Accept"), "text/html");
  ASSERT_TRUE(session.OpenRequest("GET", Url("/")));
  static_cast<void>(session.RemoveHeader("Accept"));
  EXPECT_EQ(Send().Header("Accept"), "*/*");
}

struct SetterCase {
  std::string label;
  std::function<bool(HttpSession&)> set;
  std::string header;
  std::string value;  // "URL" stands for the request's normalised URL
};

void PrintTo(const SetterCase& row, std::ostream* out) {
  *out << row.label;
}

class HttpHeaderSetterTest : public HttpWireTest, public ::testing::WithParamInterface<SetterCase> {};

TEST_P(HttpHeaderSetterTest, PutsTheHeaderOnTheWire) {
  const SetterCase& row = GetParam();
  // Without a scheme: the defaults that name the URL name the normalised one.
  const std::string given = "127.0.0.1:" + std::to_string(server.Port()) + "/dir/page?x=1";
  ASSERT_TRUE(session.OpenRequest("GET", given));
  EXPECT_TRUE(row.set(session));
  const std::string expected = row.value == "URL" ? "http://" + given : row.value;
  const WireRequest request = Send();
  EXPECT_EQ(request.Count(row.header), 1);
  EXPECT_EQ(request.Header(row.header), expected);
}

const SetterCase kSetterCases[] = {
    {"UserAgentDefault", [](HttpSession& s) { return s.SetUserAgent(); }, "User-Agent",
     std::string(kDefaultAgent)},
    {"UserAgentGiven", [](HttpSession& s) { return s.SetUserAgent("Agent/1"); }, "User-Agent", "Agent/1"},
    {"RefererDefault", [](HttpSession& s) { return s.SetReferer(); }, "Referer", "URL"},
    {"OriginDefault", [](HttpSession& s) { return s.SetOrigin(); }, "Origin", "URL"},
    {"OriginGiven", [](HttpSession& s) { return s.SetOrigin("http://o"); }, "Origin", "http://o"},
    {"AcceptDefault", [](HttpSession& s) { return s.SetAccept(); }, "Accept", "*/*"},
    {"AcceptLanguage", [](HttpSession& s) { return s.SetAcceptLanguage(); }, "Accept-Language", "zh-cn"},
    {"ContentType", [](HttpSession& s) { return s.SetContentType(); }, "Content-Type", std::string(kForm)},
    {"Ajax", [](HttpSession& s) { return s.SetAjaxHeader(); }, "X-Requested-With", "XMLHttpRequest"},
    {"SetTwiceKeepsLast",
     [](HttpSession& s) { return s.SetHeader("X-Test", "1") && s.SetHeader("X-Test", "2"); }, "X-Test", "2"},
    {"AddIfNewKeepsFirst",
     [](HttpSession& s) {
       return s.SetHeader("X-Test", "1") && !s.SetHeader("X-Test", "2", HttpSession::kHeaderAddIfNew);
     },
     "X-Test", "1"},
};

INSTANTIATE_TEST_SUITE_P(Setters, HttpHeaderSetterTest, ::testing::ValuesIn(kSetterCases),
                         [](const auto& info) { return info.param.label; });

TEST_F(HttpWireTest, ForwardedForSetsFourHeaders) {
  ASSERT_TRUE(session.OpenRequest("GET", Url("/")));
  ASSERT_TRUE(session.SetForwardedFor("10.1.2.3"));
  const WireRequest request = Send();
  for (const char* name : {"X-Forwarded-For", "CLIENT_IP", "VIA", "REMOTE_ADDR"}) {
    EXPECT_EQ(request.Header(name), "10.1.2.3") << name;
  }
}

TEST_F(HttpWireTest, HeaderLinesAreAddedTogether) {
  ASSERT_TRUE(session.OpenRequest("GET", Url("/")));
  ASSERT_TRUE(session.AddHeaderLines("X-One:1\r\nX-Two:2"));
  const WireRequest request = Send();
  EXPECT_EQ(request.Header("X-One"), "1");
  EXPECT_EQ(request.Header("X-Two"), "2");
}

TEST_F(HttpWireTest, UrlWithoutPathAsksForRoot) {
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin()));
  EXPECT_EQ(Send().target, "/");
  ASSERT_TRUE(session.OpenRequest("GET", server.Origin() + "?q=1"));
  EXPECT_EQ(Send().target, "/?q=1");
}

TEST_F(HttpWireTest, ManualCookiesGoOnTheOpenRequestOnly) {
  ASSERT_TRUE(session.OpenRequest("GET", Url("/")));
  ASSERT_TRUE(session.SetRequestCookies("a=1; b=2"));
  EXPECT_EQ(Send().Header("Cookie"), "a=1; b=2");
  ASSERT_TRUE(session.OpenRequest("GET", Url("/")));
  EXPECT_EQ(Send().Count("Cookie"), 0);
}

TEST_F(HttpWireTest, BasicCredentialsGoToTheOpenRequest) {
  ASSERT_TRUE(session.OpenRequest("GET", Url("/")));
  ASSERT_TRUE(session.SetCredentials("user", "pw"));
  EXPECT_EQ(Send().Header("Authorization"), "Basic dXNlcjpwdw==");
}

TEST_F(HttpWireTest, SameHostAndPortShareOneConnection) {
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(session.OpenRequest("GET", Url("/" + std::to_string(i))));
    static_cast<void>(Send());
    EXPECT_EQ(session.GetResponseText(), "ok");
  }
  EXPECT_EQ(server.Connections(), 1);
  // Another host name for the same server is another connection.
  ASSERT_TRUE(session.OpenRequest("GET", "http://localhost:" + std::to_string(server.Port()) + "/"));
  static_cast<void>(Send());
  EXPECT_EQ(server.Connections(), 2);
}

}  // namespace
}  // namespace corvelle
