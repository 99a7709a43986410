#include "json/detail/packed_number.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvelle::detail {

namespace {

constexpr std::uint8_t kNoCode = 0x10;

struct CodeTable {
  std::uint8_t codes[128];
  constexpr CodeTable() : codes() {
    for (auto& code : codes) code = kNoCode;
    for (std::uint8_t i = 0; kPackedUnits[i] != 0; ++i) codes[kPackedUnits[i]] = i;
  }
};
constexpr CodeTable kCodes;

// Packs up to 16 units into one word; false when a unit has no code. No branch a unit: a unit without
// a code leaves its mark in `bad`.
bool PackWord(const char16_t* units, std::size_t count, std::uint64_t& word) {
  std::uint64_t packed = 0;
  unsigned bad = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned code = units[i] < 128 ? kCodes.codes[units[i]] : kNoCode;
    bad |= code;
    packed |= static_cast<std::uint64_t>(code & 0xF) << (4 * i);
  }
  word = packed;
  return (bad & kNoCode) == 0;
}

}  // namespace

bool PackToken(std::u16string_view token, PackedToken& packed) {
  if (token.size() > kPackedUnitsMost) return false;
  const std::size_t low = token.size() < 16 ? token.size() : 16;
  if (!PackWord(token.data(), low, packed.low) ||
      !PackWord(token.data() + low, token.size() - low, packed.high)) {
    return false;
  }
  packed.length = token.size();
  return true;
}

std::size_t UnpackToken(std::uint64_t low, std::uint64_t high, std::size_t length, char16_t* out) {
  const std::uint64_t words[2] = {low, high};
  for (std::size_t i = 0; i < length; ++i) out[i] = kPackedUnits[(words[i / 16] >> (4 * (i % 16))) & 0xF];
  return length;
}

#if defined(__SSE2__)

namespace {

// Eight byte-wide codes (each below 16), first in the lowest byte, as eight nibbles in 32 bits.
std::uint64_t NibblesOf(std::uint64_t bytes) {
  bytes = (bytes | bytes >> 4) & 0x00FF00FF00FF00FFull;
  bytes = (bytes | bytes >> 8) & 0x0000FFFF0000FFFFull;
  return (bytes | bytes >> 16) & 0xFFFFFFFFull;
}

// The number characters among eight units: their codes, and movemask bits (two a unit) of the points,
// the exponent marks, the signs and all of them together.
struct EightUnits {
  std::uint64_t nibbles;
  unsigned points;
  unsigned exponents;
  unsigned signs;
  unsigned members;
};

EightUnits ReadEightUnits(const char16_t* text) {
  const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
  const __m128i digitValues = _mm_sub_epi16(units, _mm_set1_epi16(u'0'));
  const __m128i digits = _mm_and_si128(_mm_cmpgt_epi16(digitValues, _mm_set1_epi16(-1)),
                                       _mm_cmplt_epi16(digitValues, _mm_set1_epi16(10)));
  const __m128i point = _mm_cmpeq_epi16(units, _mm_set1_epi16(u'.'));
  const __m128i lowerE = _mm_cmpeq_epi16(units, _mm_set1_epi16(u'e'));
  const __m128i upperE = _mm_cmpeq_epi16(units, _mm_set1_epi16(u'E'));
  const __m128i plus = _mm_cmpeq_epi16(units, _mm_set1_epi16(u'+'));
  const __m128i minus = _mm_cmpeq_epi16(units, _mm_set1_epi16(u'-'));
  const auto code = [](__m128i mask, char16_t unit) {
    return _mm_and_si128(mask, _mm_set1_epi16(static_cast<short>(kCodes.codes[unit])));
  };
  const __m128i codes = _mm_or_si128(
      _mm_or_si128(_mm_and_si128(digits, digitValues), code(point, u'.')),
      _mm_or_si128(_mm_or_si128(code(lowerE, u'e'), code(upperE, u'E')), _mm_or_si128(code(plus, u'+'), code(minus, u'-'))));
  const __m128i exponents = _mm_or_si128(lowerE, upperE);
  const __m128i signs = _mm_or_si128(plus, minus);
  const __m128i members = _mm_or_si128(_mm_or_si128(digits, point), _mm_or_si128(exponents, signs));
  EightUnits eight;
  eight.nibbles = NibblesOf(static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(codes, codes))));
  eight.points = static_cast<unsigned>(_mm_movemask_epi8(point));
  eight.exponents = static_cast<unsigned>(_mm_movemask_epi8(exponents));
  eight.signs = static_cast<unsigned>(_mm_movemask_epi8(signs));
  eight.members = static_cast<unsigned>(_mm_movemask_epi8(members));
  return eight;
}

}  // namespace

bool ScanNumberToken(const char16_t* text, std::size_t available, PackedToken& packed, NumberClass& kind) {
  std::uint64_t words[2] = {0, 0};
  std::uint64_t points = 0;  // movemask bits of all units read, two a unit
  std::uint64_t exponents = 0;
  std::uint64_t signs = 0;
  std::size_t length = kPackedUnitsMost;
  for (std::size_t group = 0; group < kPackedUnitsMost / 8; ++group) {
    if (8 * group + 8 > available) return false;
    const EightUnits eight = ReadEightUnits(text + 8 * group);
    words[group / 2] |= eight.nibbles << (32 * (group % 2));
    points |= static_cast<std::uint64_t>(eight.points) << (16 * group);
    exponents |= static_cast<std::uint64_t>(eight.exponents) << (16 * group);
    signs |= static_cast<std::uint64_t>(eight.signs) << (16 * group);
    if (eight.members != 0xFFFF) {
      length = 8 * group + static_cast<std::size_t>(std::countr_one(eight.members) / 2);
      break;
    }
  }
  // A token of 32 units or more is left to the slow way, and so is an empty one.
  if (length == 0 || length == kPackedUnitsMost) return false;
  // The same verdict as ClassifyNumber's: an exponent mark cannot open a number; more than one point,
  // exponent mark or sign after the first unit is no number.
  const std::uint64_t inToken = (std::uint64_t{1} << (2 * length)) - 1;
  if ((exponents & 1) != 0) return false;
  const int pointCount = std::popcount(points & inToken) / 2;
  const int exponentCount = std::popcount(exponents & inToken) / 2;
  const int laterSigns = std::popcount(signs & inToken & ~std::uint64_t{3}) / 2;
  if (pointCount > 1 || exponentCount > 1 || laterSigns > 1) return false;
  kind = pointCount + exponentCount + laterSigns > 0 ? NumberClass::Real : NumberClass::Integer;
  // Codes of the units past the token are cleared: a packed token holds nothing beyond its length.
  if (length < 16) {
    words[0] &= (std::uint64_t{1} << (4 * length)) - 1;
  } else {
    words[1] &= (std::uint64_t{1} << (4 * (length - 16))) - 1;
  }
  packed.low = words[0];
  packed.high = words[1];
  packed.length = length;
  return true;
}

#else

bool ScanNumberToken(const char16_t*, std::size_t, PackedToken&, NumberClass&) {
  return false;
}

#endif

}  // namespace corvelle::detail
