#include "http/detail/header_block.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace corvelle::detail {
namespace {

struct HeaderCase {
  std::string label;
  std::string block;
  std::string name;
  std::optional<std::string> value;
};

void PrintTo(const HeaderCase& row, std::ostream* out) {
  *out << row.label;
}

class HttpFirstHeaderValueTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HttpFirstHeaderValueTest, FindsOnlyWholeNamesAtLineStart) {
  const HeaderCase& row = GetParam();
  const std::optional<std::string_view> found = FirstHeaderValue(row.block, row.name);
  ASSERT_EQ(found.has_value(), row.value.has_value());
  if (found) {
    EXPECT_EQ(std::string(*found), *row.value);
  }
}

const HeaderCase kHeaderCases[] = {
    {"ContentLocationBeforeLocation",
     "HTTP/1.1 302 Found\r\nContent-Location: /wrong\r\nLocation: /right\r\n\r\n", "Location", " /right"},
    {"OnlyContentLocation", "HTTP/1.1 200 OK\r\nContent-Location: /wrong\r\n\r\n", "Location", std::nullopt},
    {"PrefixedContentLength", "HTTP/1.1 200 OK\r\nX-Content-Length: 99\r\nContent-Length: 5\r\n\r\n",
     "Content-Length", " 5"},
    {"ValueMentionsSetCookie", "HTTP/1.1 200 OK\r\nX-Note: Set-Cookie: evil=1\r\n\r\n", "Set-Cookie",
     std::nullopt},
    {"AnyLetterCase", "HTTP/1.1 302 Found\r\nlOcAtIoN:/x\r\n\r\n", "Location", "/x"},
    {"StatusLineIsNoHeader", "Location: /status\r\nServer: x\r\n\r\n", "Location", std::nullopt},
    {"LastLineWithoutLineEnd", "HTTP/1.1 200 OK\r\nServer: x\r\nLocation: /x", "Location", std::nullopt},
    {"FirstOfTwo", "HTTP/1.1 200 OK\r\nA: 1\r\nA: 2\r\n\r\n", "A", " 1"},
    {"EmptyBlock", "", "Location", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Blocks, HttpFirstHeaderValueTest, ::testing::ValuesIn(kHeaderCases),
                         [](const auto& info) { return info.param.label; });

TEST(HttpHeaderValuesTest, ListsEveryLineOfTheNameInOrder) {
  const std::string block = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nX: y\r\nset-cookie:b=2\r\n\r\n";
  const std::vector<std::string_view> values = HeaderValues(block, "Set-Cookie");
  ASSERT_EQ(values.size(), 2U);
  EXPECT_EQ(values[0], " a=1");
  EXPECT_EQ(values[1], "b=2");
}

}  // namespace
}  // namespace corvelle::detail
