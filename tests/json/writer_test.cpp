// The writer: compact and pretty layout, number text, escaping.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>
#include <string>

#include "json/json_document.h"
#include "text/encoding.h"

namespace corvelle {
namespace {

TEST(Writer, CompactRoundTripsWithEscapes) {
  JsonDocument document;
  const char* text = R"({"a":1,"b":[true,null,"x\ty"],"c":{}})";
  ASSERT_TRUE(document.Parse(text));
  EXPECT_EQ(document.ToText(), text);
}

TEST(Writer, PrettyBreaksObjectsAndIndentsByDepth) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"a":1,"b":{"c":[1,{"d":2}]}})"));
  EXPECT_EQ(document.ToText({}, true),
            "{\r\n\t\"a\":1,\r\n\t\"b\":{\r\n\t\t\"c\":[1,{\r\n\t\t\t\t\"d\":2\r\n\t\t\t}]\r\n\t}\r\n}");
  JsonDocument again;
  ASSERT_TRUE(again.Parse(document.ToText({}, true)));
  EXPECT_EQ(again.ToText(), document.ToText());
}

TEST(Writer, PrettyEmptyObject) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"e":{}})"));
  EXPECT_EQ(document.ToText({}, true), "{\r\n\t\"e\":{\r\n\t}\r\n}");
}

struct RealRow {
  const char* name;
  double value;
  const char* text;
};

void PrintTo(const RealRow& row, std::ostream* os) {
  *os << row.text;
}

class RealText : public testing::TestWithParam<RealRow> {};

TEST_P(RealText, FormatsLikePrintfG13) {
  JsonDocument document;
  ASSERT_TRUE(document.Load("", false));
  ASSERT_TRUE(document.SetReal({}, GetParam().value));
  EXPECT_EQ(document.ToText(), GetParam().text);
  // The constructor's source text is the same number text.
  EXPECT_EQ(document.NewReal(GetParam().value).GetSourceText(), GetParam().text);
  char expected[64];
  std::snprintf(expected, sizeof expected, "%.13g", GetParam().value);
  EXPECT_EQ(document.ToText(), expected);
}

const RealRow kRealRows[] = {
    {"Integral", 2.0, "2"},
    {"Tenth", 0.1, "0.1"},
    {"Third", 1.0 / 3, "0.3333333333333"},
    {"Negative", -2.5, "-2.5"},
    {"NegativeZero", -0.0, "-0"},
    {"Large", 1e13, "1e+13"},
    {"JustBelowExponentForm", 1234567890123.0, "1234567890123"},
    {"RoundsUpIntoExponent", 9999999999999.5, "1e+13"},
    {"Small", 0.0001, "0.0001"},
    {"Smaller", 0.00001, "1e-05"},
    {"Tiny", 1.5e-300, "1.5e-300"},
    {"Huge", 1.7976931348623157e308, "1.797693134862e+308"},
    {"Infinity", std::numeric_limits<double>::infinity(), "inf"},
    {"MinusInfinity", -std::numeric_limits<double>::infinity(), "-inf"},
    {"NotANumber", std::numeric_limits<double>::quiet_NaN(), "nan"},
    {"Denormal", 4.9406564584124654e-324, "4.940656458412e-324"},
};

INSTANTIATE_TEST_SUITE_P(Json, RealText, testing::ValuesIn(kRealRows),
                         [](const testing::TestParamInfo<RealRow>& info) {
                           return std::string(info.param.name);
                         });

// A Real read from text is written from its own token where that gives the same digits; the text must
// still be "%.13g" of the value read, for every shape of decimal token: signs, leading zeros, points at
// either end, more digits than a double holds, digits near the rounding half, long fractions.
TEST(Writer, RealTokensWriteAsPrintfG13OfTheValueRead) {
  std::mt19937 random(20261211);
  const auto digits = [&](int most, const char* pool = "0123456789") {
    std::string text(std::uniform_int_distribution<int>(0, most)(random), '0');
    const auto size = static_cast<int>(std::strlen(pool));
    for (char& c : text) c = pool[std::uniform_int_distribution<int>(0, size - 1)(random)];
    return text;
  };
  std::string text = "[";
  for (int i = 0; i < 20000; ++i) {
    const int shape = i % 4;
    std::string token = digits(1, "+--");  // no sign, or "+", or "-" (twice as often)
    token += shape == 0 ? digits(3, "0") + digits(6) : digits(18);
    token += ".";
    token += shape == 1 ? digits(12) + "50000" + digits(3, "09") : digits(shape == 2 ? 25 : 14);
    if (i % 50 == 0) token += "e" + digits(1, "+-") + digits(2);
    text += token + (i % 3 == 0 ? " , " : ",");
  }
  text += "0.5]";
  JsonDocument document;
  ASSERT_TRUE(document.Parse(text));
  const int count = document.GetCount();
  JsonDocument written;
  ASSERT_TRUE(written.Parse(document.ToText()));
  ASSERT_EQ(written.GetCount(), count);
  for (int i = 0; i < count; ++i) {
    const std::string path = "[" + std::to_string(i) + "]";
    if (document.GetKind(path) != static_cast<int>(NodeKind::Real)) continue;
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.13g", document.GetReal(path));
    ASSERT_EQ(written.GetSourceText(path), expected) << document.GetSourceText(path);
  }
}

TEST(Writer, NonFiniteTextReadsBackWithoutError) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse("[1]"));
  ASSERT_TRUE(document.SetReal("[0]", std::numeric_limits<double>::infinity()));
  ASSERT_TRUE(document.SetReal("[1]", std::nan("")));
  ASSERT_TRUE(document.SetReal("[2]", -std::numeric_limits<double>::infinity()));
  JsonDocument again;
  EXPECT_TRUE(again.Parse(document.ToText()));
  EXPECT_TRUE(again.Parse(document.ToText({}, true)));
}

TEST(Writer, NumbersFromValuesNotTokens) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"([1.50,-0012,2.0,-5])"));
  EXPECT_EQ(document.ToText(), "[1.5,-12,2,-5]");
  JsonDocument again;
  ASSERT_TRUE(again.Parse(document.ToText()));
  EXPECT_EQ(again.GetKind("[2]"), static_cast<int>(NodeKind::Integer));
}

TEST(Writer, EscapesOnlyWhatTheReaderDecodes) {
  JsonDocument document;
  ASSERT_TRUE(document.Load("", false));
  const WideText odd = u"a/b\"c\\d\ne\u0001f\u4E2D\b\f\r\t";
  ASSERT_TRUE(document.SetStringW(u"s", odd));
  EXPECT_EQ(document.ToTextW(), u"{\"s\":\"a\\/b\\\"c\\\\d\\ne\u0001f\u4E2D\\b\\f\\r\\t\"}");
  JsonDocument again;
  ASSERT_TRUE(again.ParseW(document.ToTextW()));
  EXPECT_EQ(again.GetStringW(u"s"), odd);
}

TEST(Writer, UnescapedStringsKeepTheirQuotes) {
  JsonDocument document;
  ASSERT_TRUE(document.Load("", false));
  ASSERT_TRUE(document.SetString("s", "say \"hi\""));
  EXPECT_EQ(document.ToText({}, false, false), R"({"s":"say "hi""})");
}

TEST(Writer, RawTokensVerbatim) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"t":TRUE,"e":})"));
  EXPECT_EQ(document.ToText(), R"({"t":TRUE,"e":})");
}

TEST(Writer, EmptyDocumentWritesNothing) {
  const JsonDocument document;
  EXPECT_EQ(document.ToText(), "");
  EXPECT_EQ(document.ToTextW(), u"");
}

TEST(Writer, CodePageFormsAgreeWithUtf16FormsForEveryLayout) {
  JsonDocument document;
  ASSERT_TRUE(document.ParseW(u"{\"k\u4E2D\":[\"a\\\"/\u6587\\n\",raw\u4E2D,1.5],\"e\":{}}"));
  for (const bool pretty : {false, true}) {
    for (const bool escape : {false, true}) {
      EXPECT_EQ(document.ToText({}, pretty, escape), Utf16ToText(document.ToTextW({}, pretty, escape)));
    }
  }
}

TEST(Writer, CodePageOutputMatchesUtf16Output) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse("{\"k\xD6\xD0\":\"\xCE\xC4\"}"));
  EXPECT_EQ(document.ToText(), "{\"k\xD6\xD0\":\"\xCE\xC4\"}");
  EXPECT_EQ(Utf16ToText(document.ToTextW()), document.ToText());
}

}  // namespace
}  // namespace corvelle
