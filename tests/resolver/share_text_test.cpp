#include "resolver/share_text.h"

#include <gtest/gtest.h>

#include <string>

namespace corvelle {
namespace {

// "\x81\x61" is a two-byte character whose trail byte is the ASCII 'a'.
const std::string kTrailA = "\x81\x61";

struct BetweenRow {
  const char* name;
  std::string text;
  std::string startMarker;
  std::string endMarker;
  int startPosition;
  bool includeMarkers;
  bool wholeOnFailure;
  CaseMode mode;
  std::string expected;
};

void PrintTo(const BetweenRow& row, std::ostream* os) {
  *os << row.name;
}

const BetweenRow kBetweenRows[] = {
    {"Plain", R"({"uk":123,"shareid":456,)", "uk\":", ",", 1, false, false, CaseMode::Sensitive, "123"},
    {"FirstOccurrence", "a=1;a=2;", "a=", ";", 1, false, false, CaseMode::Sensitive, "1"},
    {"TailOfLongerKey", R"({"share_uk":"9","uk":1,)", "uk\":", ",", 1, false, false, CaseMode::Sensitive,
     "\"9\""},
    {"Verbatim", R"("timestamp": 17,)", "timestamp\":", ",", 1, false, false, CaseMode::Sensitive, " 17"},
    {"EmptyValue", "k=;", "k=", ";", 1, false, false, CaseMode::Sensitive, ""},
    {"FromPosition", "a=1;a=2;", "a=", ";", 2, false, false, CaseMode::Sensitive, "2"},
    {"IncludeMarkers", "x[a=1;]", "a=", ";", 1, true, false, CaseMode::Sensitive, "a=1;"},
    {"NoStart", "abc", "x", "c", 1, false, false, CaseMode::Sensitive, ""},
    {"NoEnd", "a=1", "a=", ";", 1, false, false, CaseMode::Sensitive, ""},
    {"StartAtEnd", "a=", "a=", ";", 1, false, false, CaseMode::Sensitive, ""},
    {"WholeOnFailure", "a=1", "a=", ";", 1, false, true, CaseMode::Sensitive, "a=1"},
    {"CaseSensitiveMiss", "UK:1,", "uk:", ",", 1, false, false, CaseMode::Sensitive, ""},
    {"CaseInsensitive", "UK:1,", "uk:", ",", 1, false, false, CaseMode::Insensitive, "1"},
    {"SkipsTrailBytes", kTrailA + "=x;a=y;", "a=", ";", 1, false, false, CaseMode::Sensitive, "y"},
};

class TextBetweenTest : public testing::TestWithParam<BetweenRow> {};

TEST_P(TextBetweenTest, CutsBetweenMarkers) {
  const BetweenRow& r = GetParam();
  EXPECT_EQ(TextBetween(r.text, r.startMarker, r.endMarker, r.startPosition, r.includeMarkers,
                        r.wholeOnFailure, r.mode),
            r.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, TextBetweenTest, testing::ValuesIn(kBetweenRows),
                         [](const auto& info) { return std::string(info.param.name); });

enum class ParamOp { Fill, Put, PutIfAbsent };

struct ParamRow {
  const char* name;
  ParamOp op;
  std::string text;
  std::string key;
  std::string value;
  CaseMode mode;
  bool result;
  std::string expected;
};

void PrintTo(const ParamRow& row, std::ostream* os) {
  *os << row.name;
}

const ParamRow kParamRows[] = {
    {"FillMiddle", ParamOp::Fill, "a=&b=&c=", "b", "2", CaseMode::Sensitive, true, "a=&b=2&c="},
    {"FillLast", ParamOp::Fill, "a=&b=", "b", "2", CaseMode::Sensitive, true, "a=&b=2"},
    {"FillReplaces", ParamOp::Fill, "a=old&b=", "a", "new", CaseMode::Sensitive, true, "a=new&b="},
    {"FillFirstOfTwo", ParamOp::Fill, "a=1&a=2", "a", "x", CaseMode::Sensitive, true, "a=x&a=2"},
    {"FillUnencoded", ParamOp::Fill, "pwd=&vcode=", "pwd", "a&b=", CaseMode::Sensitive, true,
     "pwd=a&b=&vcode="},
    {"FillMissingKey", ParamOp::Fill, "a=1", "b", "2", CaseMode::Sensitive, false, "a=1"},
    {"FillKeyWithoutEquals", ParamOp::Fill, "ab&c=", "ab", "2", CaseMode::Sensitive, false, "ab&c="},
    {"FillTailMatch", ParamOp::Fill, "?surl=&t=", "t", "9", CaseMode::Sensitive, true, "?surl=&t=9"},
    {"FillCaseInsensitive", ParamOp::Fill, "A=1", "a", "2", CaseMode::Insensitive, true, "A=2"},
    {"FillCaseSensitiveMiss", ParamOp::Fill, "A=1", "a", "2", CaseMode::Sensitive, false, "A=1"},
    {"PutEmptyText", ParamOp::Put, "", "k", "v", CaseMode::Sensitive, true, "k=v"},
    {"PutAppends", ParamOp::Put, "a=1", "k", "v", CaseMode::Sensitive, true, "a=1&k=v"},
    {"PutReplaces", ParamOp::Put, "k=1&a=2", "k", "v", CaseMode::Sensitive, true, "k=v&a=2"},
    {"PutIfAbsentKeeps", ParamOp::PutIfAbsent, "k=1", "k", "v", CaseMode::Sensitive, false, "k=1"},
    {"PutIfAbsentAppends", ParamOp::PutIfAbsent, "a=1", "k", "v", CaseMode::Sensitive, true, "a=1&k=v"},
};

class ShareParamTest : public testing::TestWithParam<ParamRow> {};

TEST_P(ShareParamTest, EditsTheValue) {
  const ParamRow& r = GetParam();
  Text text = r.text;
  bool result = false;
  switch (r.op) {
    case ParamOp::Fill:
      result = FillParam(text, r.key, r.value, r.mode);
      break;
    case ParamOp::Put:
      result = PutParam(text, r.key, r.value, false, r.mode);
      break;
    case ParamOp::PutIfAbsent:
      result = PutParam(text, r.key, r.value, true, r.mode);
      break;
  }
  EXPECT_EQ(result, r.result);
  EXPECT_EQ(text, r.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, ShareParamTest, testing::ValuesIn(kParamRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct AfterLastRow {
  const char* name;
  std::string text;
  std::string marker;
  bool includeMarker;
  bool wholeOnFailure;
  std::string expected;
};

void PrintTo(const AfterLastRow& row, std::ostream* os) {
  *os << row.name;
}

const AfterLastRow kAfterLastRows[] = {
    {"Plain", "https://h/share/init?surl=abc", "surl=", false, false, "abc"},
    {"LastOfSeveral", "/x?surl=a&surl=b&z=1", "surl=", false, false, "b&z=1"},
    {"IncludeMarker", "a/b/c", "/", true, false, "/c"},
    {"MarkerAtEnd", "abc/", "/", false, false, ""},
    {"EmptyText", "", "surl=", false, false, ""},
    {"EmptyMarker", "abc", "", false, false, "abc"},
    {"NotFound", "abc", "surl=", false, false, ""},
    {"NotFoundWhole", "abc", "surl=", false, true, "abc"},
};

class TextAfterLastTest : public testing::TestWithParam<AfterLastRow> {};

TEST_P(TextAfterLastTest, TakesTheTail) {
  const AfterLastRow& r = GetParam();
  EXPECT_EQ(TextAfterLast(r.text, r.marker, r.includeMarker, r.wholeOnFailure), r.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, TextAfterLastTest, testing::ValuesIn(kAfterLastRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct EncodeRow {
  const char* name;
  std::string text;
  std::string expected;
};

void PrintTo(const EncodeRow& row, std::ostream* os) {
  *os << row.name;
}

const EncodeRow kEncodeRows[] = {
    {"Brackets", "[123]", "%5B123%5D"},
    {"Space", "a b", "a+b"},
    {"Hyphen", "-", "%2D"},
    {"Empty", "", ""},
    {"Alphanumeric", "AZaz09", "AZaz09"},
    {"TwoByteCharacter", "\xD6\xD0", "%D6%D0"},
    {"ControlBytes", std::string("\0\n", 2), "%00%0A"},
    {"Punctuation", "%+&=", "%25%2B%26%3D"},
};

class UrlEncodeTest : public testing::TestWithParam<EncodeRow> {};

TEST_P(UrlEncodeTest, EncodesEachByte) {
  EXPECT_EQ(UrlEncode(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, UrlEncodeTest, testing::ValuesIn(kEncodeRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct TimestampRow {
  const char* name;
  std::int64_t localSeconds;
  int millis;
  bool utcBase;
  std::optional<std::int64_t> offset;
  std::string expected;
};

void PrintTo(const TimestampRow& row, std::ostream* os) {
  *os << row.name;
}

// 1700028800 local seconds on a UTC+8 clock is the epoch second 1700000000.
const TimestampRow kTimestampRows[] = {
    {"ChinaBase", 1700028800, 123, false, std::nullopt, "1700000000123"},
    {"PaddedMillis", 1700028800, 5, false, std::nullopt, "1700000000005"},
    {"ZeroMillis", 1700028800, 0, false, std::nullopt, "1700000000000"},
    {"UtcBase", 1700000000, 999, true, std::nullopt, "1700000000999"},
    {"Offset", 1700028800, 1, false, 60, "1700000060001"},
};

class MillisTimestampTest : public testing::TestWithParam<TimestampRow> {};

TEST_P(MillisTimestampTest, WritesSecondsThenMillis) {
  const TimestampRow& r = GetParam();
  EXPECT_EQ(MillisTimestampAt(r.localSeconds, r.millis, r.utcBase, r.offset), r.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, MillisTimestampTest, testing::ValuesIn(kTimestampRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MillisTimestampClockTest, NowIsThirteenDigits) {
  const Text now = MillisTimestamp();
  EXPECT_EQ(now.size(), 13u);
  EXPECT_EQ(now.find_first_not_of("0123456789"), std::string::npos);
}

}  // namespace
}  // namespace corvelle
