#include "text/text_ops.h"

#include <gtest/gtest.h>

#include "row_name.h"

namespace corvelle {
namespace {

// "\xB5\x5C" and "\x81\x61" are two-byte characters whose trail bytes are the ASCII '\' and 'a'.
const char kTrailBackslash[] = "\xB5\x5C";
const char kTrailLowerA[] = "\x81\x61";

struct FindRow {
  const char* name;
  std::string text;
  std::string needle;
  int start;
  CaseMode mode;
  int first;  // FindText from `start`
  int last;   // FindLastText
};

void PrintTo(const FindRow& row, std::ostream* os) {
  *os << row.name;
}

const FindRow kFindRows[] = {
    {"Plain", "abcabc", "bc", 1, CaseMode::Sensitive, 2, 5},
    {"FromPosition", "abcabc", "bc", 3, CaseMode::Sensitive, 5, 5},
    {"StartOnMatch", "abcabc", "bc", 5, CaseMode::Sensitive, 5, 5},
    {"NotFound", "abc", "x", 1, CaseMode::Sensitive, -1, -1},
    {"EmptyNeedle", "abc", "", 1, CaseMode::Sensitive, -1, -1},
    {"StartPastEnd", "abc", "c", 4, CaseMode::Sensitive, -1, 3},
    {"StartBeforeText", "abc", "a", 0, CaseMode::Sensitive, -1, 1},
    {"TrailByteNotAMatch", std::string("x") + kTrailBackslash + "\\", "\\", 1, CaseMode::Sensitive, 4, 4},
    {"TrailByteNeverLast", std::string(kTrailBackslash) + "y", "\\", 1, CaseMode::Sensitive, -1, -1},
    {"StartOnTrailByte", std::string(kTrailLowerA) + "a", "a", 2, CaseMode::Sensitive, 3, 3},
    {"CaseSensitiveMiss", "Set-Cookie: a", "set-cookie:", 1, CaseMode::Sensitive, -1, -1},
    {"CaseInsensitive", "x SET-cookie: a", "set-COOKIE:", 1, CaseMode::Insensitive, 3, 3},
    {"CaseInsensitiveSkipsTrail", std::string(kTrailLowerA) + "A", "a", 1, CaseMode::Insensitive, 3, 3},
    {"TwoByteNeedle", "a\xD6\xD0\xD6\xD0", "\xD6\xD0", 1, CaseMode::Sensitive, 2, 4},
};

class FindTest : public testing::TestWithParam<FindRow> {};

TEST_P(FindTest, FindsWholeCharactersOnly) {
  const FindRow& row = GetParam();
  EXPECT_EQ(FindText(row.text, row.needle, row.start, row.mode), row.first);
  EXPECT_EQ(FindLastText(row.text, row.needle, row.mode), row.last);
}

INSTANTIATE_TEST_SUITE_P(Rows, FindTest, testing::ValuesIn(kFindRows), RowName());

struct TransformRow {
  const char* name;
  std::string input;
  std::string expected;
};

void PrintTo(const TransformRow& row, std::ostream* os) {
  *os << row.name;
}

class TrimTest : public testing::TestWithParam<TransformRow> {};

TEST_P(TrimTest, TrimsAsciiAndIdeographicSpacesOnly) {
  EXPECT_EQ(TrimSpaces(GetParam().input), GetParam().expected);
}

const TransformRow kTrimRows[] = {
    {"Empty", "", ""},
    {"OnlySpaces", "  \xA1\xA1 ", ""},
    {"MixedSpaces", " \xA1\xA1 a b\xA1\xA1  ", "a b"},
    {"TabsAndNewlinesStay", "\t a\r\n", "\t a\r\n"},
    {"TrailByteA1NotHalfASpace", "\xB0\xA1\xA1\xA1", "\xB0\xA1"},
    {"LoneA1Stays", "a\xA1", "a\xA1"},
};

INSTANTIATE_TEST_SUITE_P(Rows, TrimTest, testing::ValuesIn(kTrimRows), RowName());

TEST(TrimTest, LeadingOnly) {
  EXPECT_EQ(TrimLeadingSpaces(" \xA1\xA1x "), "x ");
}

TEST(CaseTest, FoldsAsciiLettersOnly) {
  // 0xC1 0x41 is a two-byte character with trail byte 'A', 0x81 0x61 one with trail byte 'a'.
  EXPECT_EQ(ToLowerAscii("AbC\xC1\x41Z1"), "abc\xC1\x41z1");
  EXPECT_EQ(ToUpperAscii("aBc\x81\x61z-"), "ABC\x81\x61Z-");
  EXPECT_EQ(ToLowerAscii("\xC1"), "\xC1");
}

struct IntRow {
  const char* name;
  std::string text;
  int value;
};

void PrintTo(const IntRow& row, std::ostream* os) {
  *os << row.name;
}

class TextToIntTest : public testing::TestWithParam<IntRow> {};

TEST_P(TextToIntTest, ReadsLikeAtoiAfterNarrowing) {
  EXPECT_EQ(TextToInt(GetParam().text), GetParam().value);
}

const IntRow kIntRows[] = {
    {"Plain", "123", 123},
    {"LeadingSpaces", "  \t-42x", -42},
    {"PlusSign", "+7", 7},
    {"NoDigits", "abc", 0},
    {"Empty", "", 0},
    {"FullWidthDigits", "\xA3\xB1\xA3\xB2\xA3\xB3", 123},
    {"FullWidthMinus", "\xA3\xAD\xA3\xB5", -5},
    {"IdeographicSpaceFirst",
     "\xA1\xA1\xA3\xAB\xA3\xB9"
     "9",
     99},
    {"OtherTwoByteStops",
     "1\xD6\xD0"
     "2",
     1},
    {"Overflow", "99999999999999", 2147483647},
    {"Underflow", "-99999999999999", -2147483647 - 1},
};

INSTANTIATE_TEST_SUITE_P(Rows, TextToIntTest, testing::ValuesIn(kIntRows), RowName());

struct SplitRow {
  const char* name;
  std::string text;
  std::string separator;
  std::vector<Text> pieces;
};

void PrintTo(const SplitRow& row, std::ostream* os) {
  *os << row.name;
}

class SplitTest : public testing::TestWithParam<SplitRow> {};

TEST_P(SplitTest, KeepsInnerEmptyPiecesAndDropsAnEmptyRest) {
  EXPECT_EQ(SplitText(GetParam().text, GetParam().separator), GetParam().pieces);
}

const SplitRow kSplitRows[] = {
    {"Empty", "", ";", {}},
    {"NoSeparator", "a=1", ";", {"a=1"}},
    {"TrailingSeparator", "a;b;", ";", {"a", "b"}},
    {"NoTrailingSeparator", "a;b", ";", {"a", "b"}},
    {"EmptyPieces", ";a;;b", ";", {"", "a", "", "b"}},
    {"OnlySeparator", ";", ";", {""}},
    {"LongSeparator", "a; b; c", "; ", {"a", "b", "c"}},
    {"SeparatorInTrailByte", std::string("x\xB5\x5Cy\\z"), "\\", {"x\xB5\x5Cy", "z"}},
    {"EmptySeparator", "abc", "", {"abc"}},
};

INSTANTIATE_TEST_SUITE_P(Rows, SplitTest, testing::ValuesIn(kSplitRows), RowName());

}  // namespace
}  // namespace corvelle
