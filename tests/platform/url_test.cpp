#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/client.h"
#include "platform/detail/url_parts.h"
#include "text/encoding.h"

namespace corvelle::platform::testing {
namespace {

struct CrackCase {
  std::string name;
  std::string url;
  std::uint32_t error;  // 0: accepted
  std::uint32_t scheme;
  std::string host;
  std::uint16_t port;
  std::string path;
  std::string extra;
};

void PrintTo(const CrackCase& row, std::ostream* out) {
  *out << row.url;
}

const std::vector<CrackCase> kCrackCases = {
    {"PlainHttp", "http://example.com/a/b?x=1#f", 0, kSchemeHttp, "example.com", 80, "/a/b", "?x=1#f"},
    {"HttpsDefaultPort", "HTTPS://Example.com", 0, kSchemeHttps, "Example.com", 443, "", ""},
    {"ExplicitPort", "http://h:8080/p", 0, kSchemeHttp, "h", 8080, "/p", ""},
    {"QueryWithoutPath", "http://h?q=1", 0, kSchemeHttp, "h", 80, "", "?q=1"},
    {"UserInfoSkipped", "http://u:p@h:81/", 0, kSchemeHttp, "h", 81, "/", ""},
    {"Ipv6Literal", "http://[::1]:8080/x", 0, kSchemeHttp, "[::1]", 8080, "/x", ""},
    {"NoScheme", "example.com/path", kErrorInvalidUrl, 0, "", 0, "", ""},
    {"OtherScheme", "ftp://example.com/", kErrorUnrecognizedScheme, 0, "", 0, "", ""},
    {"NoHost", "http:///path", kErrorInvalidUrl, 0, "", 0, "", ""},
    {"PortZero", "http://h:0/", kErrorInvalidUrl, 0, "", 0, "", ""},
    {"PortTooLarge", "http://h:65536/", kErrorInvalidUrl, 0, "", 0, "", ""},
    {"PortNotANumber", "http://h:8x/", kErrorInvalidUrl, 0, "", 0, "", ""},
    {"SpaceInHost", "http://a b/", kErrorInvalidUrl, 0, "", 0, "", ""},
};

class PlatformCrackUrl : public ::testing::TestWithParam<CrackCase> {};

TEST_P(PlatformCrackUrl, SplitsOrRefuses) {
  const CrackCase& row = GetParam();
  const std::u16string url = Wide(row.url);
  UrlComponents parts;
  ASSERT_EQ(HttpCrackUrl(url, parts), row.error == 0);
  if (row.error != 0) {
    EXPECT_EQ(HttpGetLastError(), row.error);
    return;
  }
  EXPECT_EQ(parts.scheme, row.scheme);
  EXPECT_EQ(Utf16ToUtf8(parts.hostName), row.host);
  EXPECT_EQ(parts.port, row.port);
  EXPECT_EQ(Utf16ToUtf8(parts.urlPath), row.path);
  EXPECT_EQ(Utf16ToUtf8(parts.extraInfo), row.extra);
  // The pieces are views into the URL that was cracked.
  EXPECT_TRUE(parts.hostName.data() >= url.data() && parts.hostName.data() < url.data() + url.size());
}

INSTANTIATE_TEST_SUITE_P(Platform, PlatformCrackUrl, ::testing::ValuesIn(kCrackCases),
                         [](const auto& info) { return info.param.name; });

struct ReferenceCase {
  std::string name;
  std::string base;
  std::string reference;
  std::string expected;
};

void PrintTo(const ReferenceCase& row, std::ostream* out) {
  *out << row.base << " + " << row.reference;
}

const std::vector<ReferenceCase> kReferenceCases = {
    {"Absolute", "http://a/b/c", "https://x:1/y?z", "https://x:1/y?z"},
    {"RootRelative", "http://a:81/b/c?q", "/d?e=1", "http://a:81/d?e=1"},
    {"SchemeRelative", "https://a/b", "//other/p", "https://other/p"},
    {"PathRelative", "http://a/b/c", "d/e", "http://a/b/d/e"},
    {"DotSegments", "http://a/b/c/d", "../x/./y", "http://a/b/x/y"},
    {"AboveRoot", "http://a/b", "../../x", "http://a/x"},
    {"QueryOnly", "http://a/b/c?old", "?new", "http://a/b/c?new"},
    {"FragmentDropped", "http://a/b", "/c#frag", "http://a/c"},
    {"RelativeToHostOnly", "http://a", "x", "http://a/x"},
    {"SpacesTrimmed", "http://a/b", "  /c ", "http://a/c"},
    {"OtherSchemeRefused", "http://a/b", "ftp://x/y", ""},
    {"Empty", "http://a/b", "", ""},
};

class PlatformResolveReference : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(PlatformResolveReference, GivesTheRedirectTarget) {
  const ReferenceCase& row = GetParam();
  EXPECT_EQ(detail::ResolveReference(row.base, row.reference), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Platform, PlatformResolveReference, ::testing::ValuesIn(kReferenceCases),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace corvelle::platform::testing
