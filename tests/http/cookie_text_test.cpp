#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "http/http_session.h"

// The caller's side of the cookie jar: writing and reading it, merging, removing and looking up
// cookies. None of this touches the network.
namespace corvelle {
namespace {

struct JarWriteCase {
  std::string label;
  std::string written;
  std::string stored;  // the jar text afterwards, read back through its contents
  int length;
};

void PrintTo(const JarWriteCase& row, std::ostream* out) {
  *out << row.label;
}

class HttpCookieJarWriteTest : public ::testing::TestWithParam<JarWriteCase> {};

TEST_P(HttpCookieJarWriteTest, StoresTheJarInItsShape) {
  const JarWriteCase& row = GetParam();
  HttpSession session;
  EXPECT_EQ(session.CookieJar(row.written), row.written);
  EXPECT_EQ(session.CookieJar(), row.stored);
  EXPECT_EQ(session.CookieJarLength(), row.length);
}

const JarWriteCase kJarWriteCases[] = {
    {"Plain", "a=1", "a=1", 7},
    {"TrailingSemicolon", "a=1;", "a=1", 7},
    {"AlreadyFramed", "; a=1; b=2; ", "a=1; b=2", 12},
    {"Empty", "", "", 2},
};

INSTANTIATE_TEST_SUITE_P(Texts, HttpCookieJarWriteTest, ::testing::ValuesIn(kJarWriteCases),
                         [](const auto& info) { return info.param.label; });

TEST(HttpCookieJarTest, StartsEmptyAndAfterReopen) {
  HttpSession session;
  EXPECT_EQ(session.CookieJar(), "");
  EXPECT_EQ(session.CookieJarLength(), 2);
  static_cast<void>(session.CookieJar("a=1"));
  session.SetCookieMode(1);
  session.Reopen();
  EXPECT_EQ(session.CookieJar(), "");
  EXPECT_EQ(session.CookieMode(), 0);
}

TEST(HttpCookieJarTest, MergeKeepsPlacesAndRemoveTakesNamesOrPairs) {
  HttpSession session;
  static_cast<void>(session.CookieJar("x=0"));
  EXPECT_TRUE(session.MergeJarCookies("x=1; y=2"));
  EXPECT_EQ(session.CookieJar(), "x=1; y=2");
  EXPECT_EQ(session.CookieJarLength(), 12);
  EXPECT_TRUE(session.RemoveJarCookies("x"));
  EXPECT_EQ(session.CookieJar(), "y=2");
  EXPECT_TRUE(session.MergeJarCookies("a=1;b=2"));
  EXPECT_TRUE(session.RemoveJarCookies("a=1; y=2"));
  EXPECT_EQ(session.CookieJar(), "b=2");
}

TEST(HttpCookieJarTest, MergeAndRemoveReportNoChange) {
  HttpSession session;
  EXPECT_FALSE(session.MergeJarCookies(""));
  EXPECT_FALSE(session.MergeJarCookies("novalue; ;"));
  EXPECT_FALSE(session.RemoveJarCookies("absent"));
  EXPECT_FALSE(session.RemoveJarCookies(""));
  EXPECT_EQ(session.CookieJar(), "");
}

TEST(HttpCookieJarTest, MergeMatchesWholeNames) {
  HttpSession session;
  static_cast<void>(session.CookieJar("AB=1; A=1"));
  EXPECT_TRUE(session.MergeJarCookies("A=9"));
  EXPECT_EQ(session.CookieJar(), "AB=1; A=9");
  EXPECT_TRUE(session.RemoveJarCookies("A"));
  EXPECT_EQ(session.CookieJar(), "AB=1");
}

struct JarLookupCase {
  std::string label;
  std::string jar;
  std::string name;
  std::optional<int> withName;
  std::string expected;
};

void PrintTo(const JarLookupCase& row, std::ostream* out) {
  *out << row.label;
}

class HttpGetJarCookieTest : public ::testing::TestWithParam<JarLookupCase> {};

TEST_P(HttpGetJarCookieTest, FindsTheCookieByItsWholeName) {
  const JarLookupCase& row = GetParam();
  HttpSession session;
  static_cast<void>(session.CookieJar(row.jar));
  EXPECT_EQ(session.GetJarCookie(row.name, row.withName), row.expected);
}

const JarLookupCase kJarLookupCases[] = {
    {"Value", "a=1; BDCLND=xyz", "BDCLND", std::nullopt, "xyz"},
    {"WithName", "a=1; BDCLND=xyz", "BDCLND", 1, "BDCLND=xyz"},
    {"LongerNameFirst", "AB=1; A=2", "A", std::nullopt, "2"},
    {"OnlyLongerName", "AB=1", "A", std::nullopt, ""},
    {"CaseMatters", "abc=1", "ABC", std::nullopt, ""},
    {"EmptyName", "a=1", "", std::nullopt, ""},
    {"EmptyValue", "a=; b=2", "a", std::nullopt, ""},
};

INSTANTIATE_TEST_SUITE_P(Jars, HttpGetJarCookieTest, ::testing::ValuesIn(kJarLookupCases),
                         [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace corvelle
