#include "platform/cookie_store.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/detail/cookie_jar.h"

namespace corvelle::platform {
namespace {

class PlatformCookieStore : public ::testing::Test {
 protected:
  void SetUp() override { ClearStoredCookies(); }
  void TearDown() override { ClearStoredCookies(); }
};

TEST_F(PlatformCookieStore, WithoutPathTheCookieBelongsToTheUrlsDirectory) {
  ASSERT_TRUE(SetStoredCookie("http://example.com/dir/page", "a", "1"));
  EXPECT_EQ(GetStoredCookies("http://example.com/dir/other"), "a=1");
  EXPECT_EQ(GetStoredCookies("http://example.com/dir"), "a=1");
  EXPECT_EQ(GetStoredCookies("http://example.com/directory"), "");
  EXPECT_EQ(GetStoredCookies("http://example.com/"), "");
  EXPECT_EQ(GetStoredCookies("http://other.com/dir/x"), "");
}

TEST_F(PlatformCookieStore, HostOnlyUnlessADomainIsGiven) {
  ASSERT_TRUE(SetStoredCookie("http://www.example.com/", "host", "1; path=/"));
  ASSERT_TRUE(SetStoredCookie("http://www.example.com/", "wide", "2; path=/; domain=.example.com"));
  EXPECT_FALSE(SetStoredCookie("http://www.example.com/", "foreign", "3; domain=other.com"));
  EXPECT_EQ(GetStoredCookies("http://WWW.example.com:8080/x"), "host=1; wide=2");
  EXPECT_EQ(GetStoredCookies("https://api.example.com/"), "wide=2");
  EXPECT_EQ(GetStoredCookies("http://example.com/"), "wide=2");
  EXPECT_EQ(GetStoredCookies("http://badexample.com/"), "");
}

TEST_F(PlatformCookieStore, MoreSpecificPathsComeFirstAndNamesFilter) {
  ASSERT_TRUE(SetStoredCookie("http://h/", "root", "r; path=/"));
  ASSERT_TRUE(SetStoredCookie("http://h/", "deep", "d; path=/a/b"));
  ASSERT_TRUE(SetStoredCookie("http://h/", "mid", "m; path=/a"));
  EXPECT_EQ(GetStoredCookies("http://h/a/b/c"), "deep=d; mid=m; root=r");
  EXPECT_EQ(GetStoredCookies("http://h/a/b/c", "mid"), "mid=m");
  EXPECT_EQ(GetStoredCookies("http://h/a/b/c", "none"), "");
}

TEST_F(PlatformCookieStore, EmptyValueOrPastExpiryRemoves) {
  ASSERT_TRUE(SetStoredCookie("http://h/", "a", "1; path=/"));
  ASSERT_TRUE(SetStoredCookie("http://h/", "b", "2; path=/; expires=Thu, 01 Jan 2037 00:00:00 GMT"));
  ASSERT_TRUE(SetStoredCookie("http://h/", "c", "3; path=/"));
  EXPECT_EQ(GetStoredCookies("http://h/"), "a=1; b=2; c=3");
  ASSERT_TRUE(SetStoredCookie("http://h/", "a", "; path=/"));
  ASSERT_TRUE(SetStoredCookie("http://h/", "b", "x; path=/; expires=Thu, 01 Jan 1970 00:00:01 GMT"));
  ASSERT_TRUE(SetStoredCookie("http://h/", "c", "x; path=/; max-age=0"));
  EXPECT_EQ(GetStoredCookies("http://h/"), "");
}

TEST_F(PlatformCookieStore, ReplacingKeepsTheOriginalPlace) {
  ASSERT_TRUE(SetStoredCookie("http://h/", "a", "1; path=/"));
  ASSERT_TRUE(SetStoredCookie("http://h/", "b", "2; path=/"));
  ASSERT_TRUE(SetStoredCookie("http://h/", "a", "9; path=/"));
  EXPECT_EQ(GetStoredCookies("http://h/"), "a=9; b=2");
}

TEST_F(PlatformCookieStore, SecureCookiesOnlyOverHttps) {
  ASSERT_TRUE(SetStoredCookie("https://h/", "s", "1; path=/; secure"));
  EXPECT_EQ(GetStoredCookies("https://h/"), "s=1");
  EXPECT_EQ(GetStoredCookies("http://h/"), "");
}

TEST_F(PlatformCookieStore, RefusesUrlsWithoutHostAndEmptyNames) {
  EXPECT_FALSE(SetStoredCookie("not a url", "a", "1"));
  EXPECT_FALSE(SetStoredCookie("http:///x", "a", "1"));
  EXPECT_FALSE(SetStoredCookie("http://h/", "", "1"));
  EXPECT_EQ(GetStoredCookies("not a url"), "");
}

struct DateCase {
  std::string text;
  std::time_t expected;  // -1: not a date
};

void PrintTo(const DateCase& row, std::ostream* out) {
  *out << row.text;
}

const std::vector<DateCase> kDateCases = {
    {"Thu, 01 Jan 2037 00:00:00 GMT", 2114380800}, {"Thursday, 01-Jan-37 00:00:00 GMT", 2114380800},
    {"Thu Jan  1 00:00:00 2037", 2114380800},      {"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
    {"Thu, 29 Feb 2024 23:59:59 GMT", 1709251199}, {"yesterday", -1},
    {"Thu, 01 Jan 2037 25:00:00 GMT", -1},         {"", -1},
};

class PlatformCookieDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(PlatformCookieDate, ParsesTheCommonForms) {
  const auto moment = detail::ParseCookieDate(GetParam().text);
  EXPECT_EQ(moment.value_or(-1), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Platform, PlatformCookieDate, ::testing::ValuesIn(kDateCases),
                         [](const auto& info) { return "Date" + std::to_string(info.index); });

}  // namespace
}  // namespace corvelle::platform
