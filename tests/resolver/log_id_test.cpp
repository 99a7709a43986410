#include "resolver/log_id.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

namespace corvelle {
namespace {

struct NumberRow {
  const char* name;
  double value;
  std::string expected;
};

void PrintTo(const NumberRow& row, std::ostream* os) {
  *os << row.name;
}

const NumberRow kNumberRows[] = {
    {"Zero", 0.0, "0"},
    {"Half", 0.5, "0.5"},
    {"SeventeenDigits", 0.35008895617264724, "0.35008895617264724"},
    {"SixteenDigits", 0.1234567890123456, "0.1234567890123456"},
    {"SmallestPlain", 0.000001, "0.000001"},
    {"LeadingZeros", 0.0000123, "0.0000123"},
    {"ExponentOneDigit", 1e-7, "1e-7"},
    {"ExponentMantissa", 1.5e-10, "1.5e-10"},
    {"Integer", 42.0, "42"},
    {"Mixed", 12.25, "12.25"},
    {"Large", 1e21, "1e+21"},
};

class ScriptNumberTest : public testing::TestWithParam<NumberRow> {};

TEST_P(ScriptNumberTest, WritesShortestScriptForm) {
  EXPECT_EQ(ScriptNumberText(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, ScriptNumberTest, testing::ValuesIn(kNumberRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct LogIdRow {
  const char* name;
  std::int64_t millis;
  double random;
  std::string expected;
};

void PrintTo(const LogIdRow& row, std::ostream* os) {
  *os << row.name;
}

const LogIdRow kLogIdRows[] = {
    {"Half", 1600000000000, 0.5, "MTYwMDAwMDAwMDAwMDAuNQ=="},
    // 13 digits and an 18-character random text: 31 bytes, 44 symbols, one byte in the last group.
    {"LongRandom", 1700000000000, 0.1234567890123456, "MTcwMDAwMDAwMDAwMDAuMTIzNDU2Nzg5MDEyMzQ1Ng=="},
    {"ExponentRandom", 1700000000000, 1e-7, "MTcwMDAwMDAwMDAwMDFlLTc="},
    {"ZeroRandom", 1700000000000, 0.0, "MTcwMDAwMDAwMDAwMDA="},
};

class MakeLogIdTest : public testing::TestWithParam<LogIdRow> {};

TEST_P(MakeLogIdTest, KnownClockAndRandomGiveKnownId) {
  EXPECT_EQ(MakeLogIdFrom(GetParam().millis, GetParam().random), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, MakeLogIdTest, testing::ValuesIn(kLogIdRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MakeLogIdPropertyTest, LengthIsAlwaysAMultipleOfFour) {
  std::mt19937_64 engine(7);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  for (int i = 0; i < 2000; ++i) {
    // Shifting the random number by powers of ten reaches the short and the exponent forms too.
    const double random = uniform(engine) * std::pow(10.0, -(i % 12));
    const Text id = MakeLogIdFrom(1700000000000 + i, random);
    ASSERT_EQ(id.size() % 4, 0u) << random;
  }
}

TEST(MakeLogIdPropertyTest, SameMillisecondStillDiffers) {
  LogIdSource source = DefaultLogIdSource();
  const std::int64_t frozen = source.millisSinceEpoch();
  EXPECT_NE(MakeLogIdFrom(frozen, source.random()), MakeLogIdFrom(frozen, source.random()));
}

TEST(MakeLogIdPropertyTest, DefaultRandomStaysInUnitInterval) {
  LogIdSource source = DefaultLogIdSource();
  for (int i = 0; i < 1000; ++i) {
    const double r = source.random();
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
  }
}

}  // namespace
}  // namespace corvelle
