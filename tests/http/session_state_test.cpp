#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "http/http_session.h"
#include "platform/http_api.h"

// The object's own state: defaults, switches, URL normalisation and the lifetime of its handles. Opening
// a request connects nothing yet, so none of this needs a server.
namespace corvelle {
namespace {

TEST(HttpSessionStateTest, ConstructionLeavesTheDefaults) {
  HttpSession session;
  EXPECT_NE(session.SessionHandle(), 0U);
  EXPECT_EQ(session.ConnectionHandle(), 0U);
  EXPECT_EQ(session.RequestHandle(), 0U);
  EXPECT_TRUE(session.AutoHeaders());
  EXPECT_EQ(session.CookieMode(), 0);
  EXPECT_TRUE(session.IgnoreCertErrorsPending());
  EXPECT_FALSE(session.NoRedirects());
  EXPECT_EQ(session.ContentLength(), 0);
  EXPECT_EQ(session.BodyCapacity(), 10240U);
  EXPECT_EQ(session.Url(), "");
}

struct SwitchCase {
  std::string label;
  std::optional<int> given;
  int expected;
};

void PrintTo(const SwitchCase& row, std::ostream* out) {
  *out << row.label;
}

class HttpSetCookieModeTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(HttpSetCookieModeTest, StoresModeOrZero) {
  HttpSession session;
  session.SetCookieMode(GetParam().given);
  EXPECT_EQ(session.CookieMode(), GetParam().expected);
}

const SwitchCase kCookieModeCases[] = {
    {"Absent", std::nullopt, 1}, {"Zero", 0, 0}, {"Two", 2, 2}, {"Three", 3, 0}, {"Negative", -1, 0},
};

INSTANTIATE_TEST_SUITE_P(Modes, HttpSetCookieModeTest, ::testing::ValuesIn(kCookieModeCases),
                         [](const auto& info) { return info.param.label; });

class HttpSetFollowRedirectsTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(HttpSetFollowRedirectsTest, LowestBitDecides) {
  HttpSession session;
  session.SetFollowRedirects(0);
  session.SetFollowRedirects(GetParam().given);
  EXPECT_EQ(session.NoRedirects() ? 1 : 0, GetParam().expected);
}

const SwitchCase kFollowCases[] = {
    {"Absent", std::nullopt, 0}, {"Zero", 0, 1}, {"One", 1, 0}, {"Two", 2, 1}, {"Three", 3, 0},
};

INSTANTIATE_TEST_SUITE_P(Values, HttpSetFollowRedirectsTest, ::testing::ValuesIn(kFollowCases),
                         [](const auto& info) { return info.param.label; });

TEST(HttpSessionStateTest, RequestOperationsFailBeforeOpenRequest) {
  HttpSession session;
  EXPECT_FALSE(session.SetCredentials("u", "p"));
  EXPECT_FALSE(session.SetOption(2, 31, 0, 4));
  EXPECT_FALSE(session.SetHeader("X-A", "1"));
  EXPECT_FALSE(session.SetRequestCookies("a=1"));
  EXPECT_FALSE(session.SendText());
  EXPECT_EQ(session.GetStatusCode(), 0);
  EXPECT_TRUE(session.GetResponseBytes().empty());
  EXPECT_EQ(session.CookieJar(), "");
}

TEST(HttpSessionStateTest, SetOptionSelectsItsHandle) {
  HttpSession session;
  EXPECT_TRUE(session.SetOption(std::nullopt, 12345, 1, 4));
  EXPECT_FALSE(session.SetOption(1, 12345, 1, 4));
  ASSERT_TRUE(session.OpenRequest("GET", "http://127.0.0.1:9/"));
  EXPECT_TRUE(session.SetOption(1, 12345, 1, 4));
  EXPECT_TRUE(session.SetOption(2, 12345, 1, 4));
  // The value is a 32-bit integer: a larger size would let the platform read past it.
  EXPECT_FALSE(session.SetOption(2, 12345, 1, 8));
}

TEST(HttpSessionStateTest, CloseTwiceIsHarmlessAndOpenRequestThenFails) {
  HttpSession session;
  session.Close();
  session.Close();
  EXPECT_EQ(session.SessionHandle(), 0U);
  EXPECT_EQ(session.BodyCapacity(), 0U);
  EXPECT_FALSE(session.OpenRequest("GET", "http://127.0.0.1:9/"));
  session.Reopen();
  EXPECT_TRUE(session.OpenRequest("GET", "http://127.0.0.1:9/"));
}

TEST(HttpSessionStateTest, OpenOnAnOpenObjectReleasesWhatItHeld) {
  HttpSession session;
  ASSERT_TRUE(session.OpenRequest("GET", "http://127.0.0.1:9/"));
  const platform::HttpHandle oldSession = session.SessionHandle();
  const platform::HttpHandle oldRequest = session.RequestHandle();
  session.Open("agent");
  EXPECT_NE(session.SessionHandle(), 0U);
  EXPECT_EQ(session.RequestHandle(), 0U);
  // Closed handles refuse every call.
  EXPECT_FALSE(platform::HttpCloseHandle(oldRequest));
  EXPECT_FALSE(platform::HttpCloseHandle(oldSession));
}

TEST(HttpSessionStateTest, CopyOwnsHandlesAndBufferOfItsOwn) {
  auto source = std::make_unique<HttpSession>();
  source->SetCookieMode(1);
  static_cast<void>(source->CookieJar("a=1"));
  ASSERT_TRUE(source->OpenRequest("post", "http://127.0.0.1:9/x"));
  HttpSession copy(*source);
  EXPECT_NE(copy.SessionHandle(), 0U);
  EXPECT_NE(copy.SessionHandle(), source->SessionHandle());
  EXPECT_EQ(copy.ConnectionHandle(), 0U);
  EXPECT_EQ(copy.RequestHandle(), 0U);
  EXPECT_EQ(copy.CookieMode(), 1);
  EXPECT_EQ(copy.CookieJar(), "a=1");
  EXPECT_EQ(copy.Url(), "http://127.0.0.1:9/x");
  EXPECT_TRUE(copy.IsPost());
  source.reset();
  // The copy lives on with its own session.
  EXPECT_TRUE(copy.OpenRequest("GET", "http://127.0.0.1:9/y"));
}

struct UrlCase {
  std::string label;
  std::string given;
  std::string url;
  std::string host;
  int port;
  int scheme;
};

void PrintTo(const UrlCase& row, std::ostream* out) {
  *out << row.label;
}

class HttpOpenRequestUrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(HttpOpenRequestUrlTest, NormalisesAndCracks) {
  const UrlCase& row = GetParam();
  HttpSession session;
  ASSERT_TRUE(session.OpenRequest(std::nullopt, row.given));
  EXPECT_EQ(session.Url(), row.url);
  EXPECT_EQ(session.HostName(), row.host);
  EXPECT_EQ(session.Port(), row.port);
  EXPECT_EQ(session.Scheme(), row.scheme);
}

const UrlCase kUrlCases[] = {
    {"NoScheme", "example.com/path?q=1", "http://example.com/path?q=1", "example.com", 80, 1},
    {"UpperCaseHttps", "HTTPS://example.com/x", "HTTPS://example.com/x", "example.com", 443, 2},
    {"EightBytesLeftAlone", "http://a", "http://a", "a", 80, 1},
    {"ShortGetsPrefix", "a/b", "http://a/b", "a", 80, 1},
    {"PortWrittenOut", "http://h:8080", "http://h:8080", "h", 8080, 1},
};

INSTANTIATE_TEST_SUITE_P(Urls, HttpOpenRequestUrlTest, ::testing::ValuesIn(kUrlCases),
                         [](const auto& info) { return info.param.label; });

TEST(HttpOpenRequestTest, ReusesTheConnectionForSameHostAndPortOnly) {
  HttpSession session;
  ASSERT_TRUE(session.OpenRequest("GET", "http://host/a"));
  const platform::HttpHandle first = session.ConnectionHandle();
  ASSERT_TRUE(session.OpenRequest("GET", "https://host:80/b"));
  EXPECT_EQ(session.ConnectionHandle(), first);
  ASSERT_TRUE(session.OpenRequest("GET", "http://host:81/"));
  const platform::HttpHandle second = session.ConnectionHandle();
  EXPECT_NE(second, first);
  ASSERT_TRUE(session.OpenRequest("GET", "http://HOST:81/"));
  EXPECT_NE(session.ConnectionHandle(), second);
}

TEST(HttpOpenRequestTest, TracksPostOnlyWithAutoHeaders) {
  HttpSession session;
  ASSERT_TRUE(session.OpenRequest("post", "http://h/"));
  EXPECT_TRUE(session.IsPost());
  ASSERT_TRUE(session.OpenRequest(std::nullopt, "http://h/"));
  EXPECT_TRUE(session.IsPost());
  ASSERT_TRUE(session.OpenRequest("GET", "http://h/"));
  EXPECT_FALSE(session.IsPost());
  session.SetAutoHeaders(0);
  ASSERT_TRUE(session.OpenRequest("POST", "http://h/"));
  EXPECT_FALSE(session.IsPost());
}

TEST(HttpOpenRequestTest, RejectedUrlKeepsThePreviousRequest) {
  HttpSession session;
  ASSERT_TRUE(session.OpenRequest("GET", "http://h/"));
  const platform::HttpHandle request = session.RequestHandle();
  EXPECT_FALSE(session.OpenRequest("GET", "http://h:99999/"));
  EXPECT_EQ(session.Url(), "http://h:99999/");
  EXPECT_EQ(session.RequestHandle(), request);
}

}  // namespace
}  // namespace corvelle
