#include "text/encoding.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "row_name.h"

namespace corvelle {
namespace {

struct Cp936Row {
  const char* name;
  std::string text;     // code page 936 bytes
  std::u16string wide;  // what they decode to
};

void PrintTo(const Cp936Row& row, std::ostream* os) {
  *os << row.name;
}

const Cp936Row kDecodeRows[] = {
    {"Empty", "", u""},
    {"Ascii", "list[0].md5", u"list[0].md5"},
    {"EuroSign", "\x80", u"\u20AC"},
    {"TwoByte", "\xD6\xD0\xCE\xC4", u"中文"},
    {"IdeographicSpace", "\xA1\xA1", u"\u3000"},
    {"LoneLeadAtEnd", "ab\xD6", u"ab\uFFFD"},
    {"ByteFF",
     "a\xFF"
     "b",
     u"a\uFFFDb"},
    {"LeadBeforeAscii",
     "\xD6"
     "1",
     u"\uFFFD"
     "1"},
    {"TextEndsAtNul", std::string("a\0b", 3), u"a"},
};

class DecodeTest : public testing::TestWithParam<Cp936Row> {};

TEST_P(DecodeTest, DecodesAsCodePage936) {
  EXPECT_EQ(TextToUtf16(GetParam().text), GetParam().wide);
}

INSTANTIATE_TEST_SUITE_P(Rows, DecodeTest, testing::ValuesIn(kDecodeRows), RowName());

const Cp936Row kEncodeRows[] = {
    {"Empty", "", u""},
    {"Ascii", "GET /s/1abc", u"GET /s/1abc"},
    {"EuroSign", "\x80", u"\u20AC"},
    {"TwoByte", "\xD6\xD0\xCE\xC4", u"中文"},
    {"Emoji", "a?b", u"a\U0001F600b"},
    {"LoneHighSurrogate", "?x", std::u16string{0xD800, u'x'}},
    {"LoneLowSurrogate", "x?", std::u16string{u'x', 0xDC00}},
    {"NotInCodePage", "?", u"\u0E01"},  // Thai letter ko kai
    {"TextEndsAtNul", "a", std::u16string(u"a\0b", 3)},
};

class EncodeTest : public testing::TestWithParam<Cp936Row> {};

TEST_P(EncodeTest, EncodesAsCodePage936) {
  EXPECT_EQ(Utf16ToText(GetParam().wide), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Rows, EncodeTest, testing::ValuesIn(kEncodeRows), RowName());

TEST(EncodingTest, EveryTwoByteCharacterRoundTrips) {
  int decoded = 0;
  for (unsigned lead = 0x81; lead < 0xFF; ++lead) {
    for (unsigned trail = 0x40; trail < 0xFF; ++trail) {
      const std::string text{static_cast<char>(lead), static_cast<char>(trail)};
      const WideText wide = TextToUtf16(text);
      ASSERT_EQ(wide.size(), trail == 0x7F ? 2u : 1u) << std::hex << lead << ' ' << trail;
      if (wide[0] == u'\uFFFD') continue;
      ++decoded;
      const Text back = Utf16ToText(wide);
      // A few characters have two codes; the one written back must decode to the same character.
      EXPECT_EQ(TextToUtf16(back), wide) << std::hex << lead << ' ' << trail;
    }
  }
  EXPECT_GT(decoded, 21000);  // code page 936 holds 21,886 two-byte characters
}

TEST(EncodingTest, Utf8ToTextConvertsThroughUtf16) {
  EXPECT_EQ(Utf8ToText("\xE4\xB8\xAD\xE6\x96\x87.txt"), "\xD6\xD0\xCE\xC4.txt");
  EXPECT_EQ(Utf8ToText(""), "");
  EXPECT_EQ(Utf8ToText("a\xC3"), "a?");  // cut-off sequence
  EXPECT_EQ(Utf8ToText("\xC0\xAF"
                       "b"),
            "??b");                                // overlong form, next byte kept
  EXPECT_EQ(Utf8ToText("\xED\xA0\x80"), "?");      // encoded surrogate
  EXPECT_EQ(Utf8ToText("\xF0\x9F\x98\x80"), "?");  // emoji
}

TEST(EncodingTest, Utf8AndUtf16RoundTrip) {
  const std::string utf8 = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z";
  const WideText wide = Utf8ToUtf16(utf8);
  EXPECT_EQ(wide, u"aé中\U0001F600z");
  EXPECT_EQ(Utf16ToUtf8(wide), utf8);
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
  EXPECT_EQ(TextToUtf8("\xD6\xD0"), "\xE4\xB8\xAD");
}

TEST(EncodingTest, LongMixedTextConvertsWithoutLoss) {
  std::string text;
  std::u16string wide;
  for (int i = 0; i < 1000; ++i) {
    text += "abcdefghij\xD6\xD0";
    wide += u"abcdefghij中";
  }
  EXPECT_EQ(TextToUtf16(text), wide);
  EXPECT_EQ(Utf16ToText(wide), text);
}

TEST(EncodingTest, ConcurrentFirstUseIsSafe) {
  std::vector<std::thread> threads;
  std::vector<WideText> results(4);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&results, t] { results[static_cast<std::size_t>(t)] = TextToUtf16("\xD6\xD0"); });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& result : results) EXPECT_EQ(result, u"中");
}

TEST(EncodingTest, BytesToTextStopsAtNul) {
  EXPECT_EQ(BytesToText(Bytes{'o', 'k', 0, 'x'}), "ok");
  EXPECT_EQ(BytesToText(Bytes{}), "");
}

}  // namespace
}  // namespace corvelle
