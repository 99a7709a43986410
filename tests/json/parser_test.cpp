// The lenient reader: text in, tree (seen through the compact writer) or error code out.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

#include "json/detail/json_parser.h"
#include "json/json_document.h"
#include "row_name.h"
#include "text/encoding.h"

namespace corvelle {
namespace {

struct ParseRow {
  const char* name;
  const char* text;
  int code;             // what the parser answers
  const char* written;  // compact text of the root afterwards
  bool decodeUnicode = false;
};

void PrintTo(const ParseRow& row, std::ostream* os) {
  *os << row.text;
}

int ParseCode(JsonDocument& document, std::string_view text, bool decodeUnicode) {
  const WideText wide = TextToUtf16(text);
  return detail::ParseJsonText(document.GetRootNode(), wide.c_str(), wide.size(), decodeUnicode);
}

class ParserCases : public testing::TestWithParam<ParseRow> {};

TEST_P(ParserCases, GivesTreeOrCode) {
  const ParseRow& row = GetParam();
  JsonDocument document;
  ASSERT_TRUE(document.Load("", false));
  EXPECT_EQ(ParseCode(document, row.text, row.decodeUnicode), row.code);
  EXPECT_EQ(document.ToText(), row.written);
}

const ParseRow kParseRows[] = {
    {"Nested", R"({"a":1,"b":[true,null,"x"]})", 0, R"({"a":1,"b":[true,null,"x"]})"},
    {"SingleQuotes", "{'a':'b'}", 0, R"({"a":"b"})"},
    {"QuoteInsideOtherQuotes", R"({"q":"it's"})", 0, R"({"q":"it's"})"},
    {"EmptyElementBetweenCommas", "[1,,2]", 0, "[1,2]"},
    {"LeadingEmptyElement", "[,1]", 0, "[1]"},
    {"EmptyArray", "[]", 0, "[]"},
    {"BlankArray", "[ ]", 0, "[]"},
    {"TrailingComma", "[1,]", -7, "[]"},
    {"TrailingCommaAfterArray", "[[1],]", -7, "[]"},
    {"ObjectTrailingCommaReusesKey", R"({"a":1,})", 0, R"({"a":})"},
    {"MissingValue", R"({"a":})", 0, R"({"a":})"},
    {"ValueWithoutColon", "{1}", 0, "{}"},
    {"CommaFirst", "{,1}", -4, "{}"},
    {"ObjectInObjectWithoutKey", "{{}}", -4, "{}"},
    {"ArrayClosedByBrace", "[1}", -4, "[]"},
    {"ColonInArray", "[1:2]", -8, "[]"},
    {"ObjectClosedBySquareBracket", R"({"a":1])", 0, "[1]"},
    {"TwoTopLevelObjects", R"({"a":1}{"b":2})", 0, R"({"a":1,"b":2})"},
    {"TwoTopLevelArrays", "[1][2]", 0, "[1,2]"},
    {"NoBracket", "123", 0, "{}"},
    {"LoneString", R"("x")", -5, "{}"},
    {"Unclosed", R"({"a":1)", -5, "{}"},
    {"ColonOutside", "{}:", -5, "{}"},
    {"KeyBeforeContainerWithoutColon", R"({"a"{"b":1}})", 0, R"({"a":{"b":1}})"},
    {"DuplicateKeyKeepsPlace", R"({"a":1,"b":2,"a":3})", 0, R"({"a":3,"b":2})"},
    {"BlankInsideNumber", R"({"n":1 2})", 0, R"({"n":12})"},
    {"SignAfterDigits", R"({"n":5-})", 0, R"({"n":5})"},
    {"TwoDots", R"({"n":1.2.3})", 0, R"({"n":1.2.3})"},
    {"HexIsRaw", R"({"n":0x1F})", 0, R"({"n":0x1F})"},
    {"UpperCaseLiteralIsRaw", R"({"t":TRUE})", 0, R"({"t":TRUE})"},
    {"JunkAfterString", R"({"a":"x" junk})", 0, R"({"a":"x"})"},
    {"NestedInOrder", R"([1,{"b":2},[3]])", 0, R"([1,{"b":2},[3]])"},
    {"DeepEmptyArray", R"({"a":{"b":{"c":[]}}})", 0, R"({"a":{"b":{"c":[]}}})"},
    {"BackslashNotNewline", R"({"p":"C:\\new"})", 0, R"({"p":"C:\\new"})"},
    {"EscapedQuoteInKey", R"({"k\"q":1})", 0, R"({"k\"q":1})"},
    {"UnicodeKeptWhenNotDecoding", R"({"s":"a\u0041"})", 0, R"({"s":"a\\u0041"})"},
    {"UnicodeDecoded", R"({"s":"a\u0041"})", 0, R"({"s":"aA"})", true},
    {"DecodedNulEndsText", R"({"s":"a\u0000b"})", 0, R"({"s":"a"})", true},
    {"SingleQuoteEscapeStays", R"({"s":"a\'b"})", 0, R"({"s":"a\\'b"})"},
    {"EmptyText", "", 0, "{}"},
    // With room after a number the parser reads it in one scan; the quirks stay the same.
    {"RoomyObjectClosedBySquareBracket", R"({"a":1]                    )", 0, "[1]"},
    {"RoomyArrayClosedByBrace", R"([1,2}                    )", -4, "[]"},
    {"RoomyValueAfterMemberComma", R"({"a":1,2}                    )", 0, R"({"a":2})"},
    // The colon moves the value's start past the string; what is taken stays inside the text.
    {"ColonAfterStringValue", R"({"a":"xyz":})", 0, R"({"a":"}"})"},
};

INSTANTIATE_TEST_SUITE_P(Json, ParserCases, testing::ValuesIn(kParseRows),
                         [](const testing::TestParamInfo<ParseRow>& info) {
                           return std::string(info.param.name);
                         });

// Kinds and values of scalars, read through the document.
TEST(Parser, ClassifiesScalarsAndKeepsTokens) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(
      R"({"r":1.50,"i":-0012,"n":null,"b":false,"s":"x","raw":abc,"big":123456789012345678901})"));
  EXPECT_EQ(document.GetKind("r"), static_cast<int>(NodeKind::Real));
  EXPECT_DOUBLE_EQ(document.GetReal("r"), 1.5);
  EXPECT_EQ(document.GetSourceText("r"), "1.50");
  EXPECT_EQ(document.GetKind("i"), static_cast<int>(NodeKind::Integer));
  EXPECT_EQ(document.GetInteger("i"), -12);
  EXPECT_EQ(document.GetSourceText("i"), "-0012");
  EXPECT_EQ(document.GetKind("n"), static_cast<int>(NodeKind::Null));
  EXPECT_EQ(document.GetSourceText("n"), "null");
  EXPECT_EQ(document.GetKind("b"), static_cast<int>(NodeKind::Boolean));
  EXPECT_EQ(document.GetSourceText("b"), "false");
  EXPECT_EQ(document.GetKind("s"), static_cast<int>(NodeKind::String));
  EXPECT_EQ(document.GetSourceText("s"), "");
  EXPECT_EQ(document.GetKind("raw"), static_cast<int>(NodeKind::Raw));
  EXPECT_EQ(document.GetSourceText("raw"), "abc");
  EXPECT_EQ(document.GetSourceText("big"), "123456789012345678901");
}

struct NumberRow {
  const char* name;
  const char* token;
  int kind;
  double real;
  std::int64_t integer;
};

void PrintTo(const NumberRow& row, std::ostream* os) {
  *os << row.token;
}

class NumberCases : public testing::TestWithParam<NumberRow> {};

TEST_P(NumberCases, ReadAsTheReaderDefines) {
  const NumberRow& row = GetParam();
  JsonDocument document;
  ASSERT_TRUE(document.Parse(std::string("[") + row.token + "]"));
  EXPECT_EQ(document.GetKind("[0]"), row.kind);
  EXPECT_EQ(document.GetReal("[0]"), row.real);
  EXPECT_EQ(document.GetInteger("[0]"), row.integer);
}

const NumberRow kNumberRows[] = {
    {"Plain", "42", 2, 42, 42},
    {"LoneMinus", "-", 2, 0, 0},
    {"LoneDot", ".", 1, 0, 0},
    {"TrailingE", "1e", 1, 1, 1},
    {"Exponent", "2.5E2", 1, 250, 250},
    {"NegativeExponent", "5e-1", 1, 0.5, 0},
    {"TruncatesTowardZero", "-2.7", 1, -2.7, -2},
    {"IntegerPastRangeSaturates", "99999999999999999999999", 2, 9223372036854775807.0, INT64_MAX},
    {"NegativePastRangeSaturates", "-99999999999999999999999", 2, -9223372036854775808.0, INT64_MIN},
    {"HugeExponentIsInfinite", "1e400", 1, HUGE_VAL, INT64_MAX},
    {"NegativeInfinite", "-1e400", 1, -HUGE_VAL, INT64_MIN},
    {"RealPastIntegerRange", "1e30", 1, 1e30, INT64_MAX},
    {"ManyLeadingZeros", "0.0000000000000000000001", 1, 1e-22, 0},
};

INSTANTIATE_TEST_SUITE_P(Json, NumberCases, testing::ValuesIn(kNumberRows),
                         [](const testing::TestParamInfo<NumberRow>& info) {
                           return std::string(info.param.name);
                         });

// Numbers followed at once by a comma or the closing bracket are read in one scan each; with blanks
// after them they take the mark-by-mark way. Both must give the same nodes, for odd tokens as for plain
// ones.
struct RunRow {
  const char* name;
  std::string token;
};

class NumberRunCases : public testing::TestWithParam<RunRow> {};

// `[[T,T],[T],{"k":T,"m":T}]` with blanks around each token (the slow way), before each token, and
// nowhere. Room behind the values lets the one-scan reader load its units in blocks.
std::string RunText(const std::string& t, const std::string& before, const std::string& after) {
  const std::string v = before + t + after;
  return "[[" + v + "," + v + "],[" + v + "],{\"k\":" + v + ",\"m\":" + v + "}," + std::string(40, ' ') + "0]";
}

TEST_P(NumberRunCases, ReadsAsWithBlanks) {
  const std::string& t = GetParam().token;
  JsonDocument spaced;
  ASSERT_TRUE(spaced.Parse(RunText(t, " ", " ")));
  for (const std::string before : {"", "\n\t "}) {
    SCOPED_TRACE("blanks before: " + std::to_string(before.size()));
    JsonDocument tight;
    ASSERT_TRUE(tight.Parse(RunText(t, before, "")));
    EXPECT_EQ(tight.ToText(), spaced.ToText());
    for (const char* path : {"[0].[0]", "[0].[1]", "[1].[0]", "[2].k", "[2].m"}) {
      SCOPED_TRACE(path);
      EXPECT_NE(spaced.GetKind(path), static_cast<int>(NodeKind::Null));
      EXPECT_EQ(tight.GetKind(path), spaced.GetKind(path));
      EXPECT_EQ(tight.GetSourceText(path), spaced.GetSourceText(path));
      EXPECT_EQ(tight.GetInteger(path), spaced.GetInteger(path));
      const double real = tight.GetReal(path);
      if (!std::isnan(real)) {
        EXPECT_EQ(real, spaced.GetReal(path));
      }
    }
  }
}

const RunRow kRunRows[] = {
    {"Zero", "0"},
    {"NegativeZero", "-0"},
    {"Plain", "42"},
    {"LeadingZeros", "-007"},
    {"PlusSign", "+5"},
    {"LoneMinus", "-"},
    {"LoneDot", "."},
    {"DotFirst", ".5"},
    {"DotLast", "5."},
    {"Exponent", "1E+5"},
    {"SmallExponent", "2.5e-3"},
    {"ExponentFirstIsRaw", "e5"},
    {"TwoDotsIsRaw", "1.2.3"},
    {"TwoExponentsIsRaw", "1e2e3"},
    {"SignInside", "1-2"},
    {"TwoSignsInsideIsRaw", "1-2+3"},
    {"DoubleMinus", "--1"},
    {"Coordinate", "-65.613616999999977"},
    {"FifteenDigits", "123456789012345"},
    {"SixteenDigits", "1234567890123456"},
    {"PastInt64", "9223372036854775808"},
    {"HugeExponent", "-1e400"},
    {"ThirtyOneUnits", std::string(30, '7') + "."},
    {"ThirtyTwoUnits", std::string(32, '7')},
    {"ThirtyThreeUnits", "-" + std::string(32, '7')},
    {"LetterInside", "12x5"},
};

INSTANTIATE_TEST_SUITE_P(Json, NumberRunCases, testing::ValuesIn(kRunRows), RowName());

TEST(Parser, NotANumberReadsAsZeroInteger) {
  // 400 nines after the point overflow both the mantissa and the scale: infinity over infinity.
  JsonDocument document;
  ASSERT_TRUE(document.Parse("[0." + std::string(400, '9') + "]"));
  EXPECT_TRUE(std::isnan(document.GetReal("[0]")));
  EXPECT_EQ(document.GetInteger("[0]"), 0);
  JsonDocument again;
  EXPECT_TRUE(again.Parse(document.ToText()));
  EXPECT_EQ(again.GetKind("[0]"), static_cast<int>(NodeKind::Raw));
}

TEST(Parser, ShortOrBadUnicodeEscapesStayUnchanged) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"(["\u12","\u00zz","x\u"])", true));
  EXPECT_EQ(document.GetStringW(u"[0]"), u"\\u12");
  EXPECT_EQ(document.GetStringW(u"[1]"), u"\\u00zz");
  EXPECT_EQ(document.GetStringW(u"[2]"), u"x\\u");
}

TEST(Parser, SurrogatePairDecodesToBothUnits) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"(["\uD83D\uDE00"])", true));
  EXPECT_EQ(document.GetStringW(u"[0]"), u"\U0001F600");
}

TEST(Parser, FailureEmptiesRootAndReportsFalse) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"a":1})"));
  EXPECT_FALSE(document.Parse("[1,]"));
  EXPECT_EQ(document.GetKind(), static_cast<int>(NodeKind::Array));
  EXPECT_EQ(document.GetCount(), 0);
}

TEST(Parser, CodePageTextAndUtf16AgreeOnTheTree) {
  const Text text = "{\"name\":\"\xD6\xD0\xCE\xC4\",\"n\":[1,2.5]}";  // 中文 in code page 936
  JsonDocument plain;
  JsonDocument wide;
  ASSERT_TRUE(plain.Parse(text));
  ASSERT_TRUE(wide.ParseW(TextToUtf16(text)));
  EXPECT_EQ(plain.ToTextW(), wide.ToTextW());
  EXPECT_EQ(plain.GetString("name"), "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(wide.GetStringW(u"name"), u"\u4E2D\u6587");
}

}  // namespace
}  // namespace corvelle
