#include "json/detail/packed_number.h"

#include <bit>

#include "json/detail/sixteen_units.h"

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

// The number characters among sixteen units, one bit a unit in each mask, and the units' codes packed.
struct SixteenUnits {
  std::uint64_t codes;
  unsigned points;
  unsigned exponents;
  unsigned signs;
  unsigned members;
};

SixteenUnits ReadSixteenUnits(const char16_t* text) {
  const __m128i units = LoadSixteenUnits(text);
  const __m128i digitValues = _mm_sub_epi8(units, _mm_set1_epi8('0'));
  const __m128i digits = _mm_cmpeq_epi8(_mm_min_epu8(digitValues, _mm_set1_epi8(9)), digitValues);
  const auto is = [&](char16_t unit) { return _mm_cmpeq_epi8(units, _mm_set1_epi8(static_cast<char>(unit))); };
  const auto code = [](__m128i mask, char16_t unit) {
    return _mm_and_si128(mask, _mm_set1_epi8(static_cast<char>(kCodes.codes[unit])));
  };
  const __m128i point = is(u'.');
  const __m128i lowerE = is(u'e');
  const __m128i upperE = is(u'E');
  const __m128i plus = is(u'+');
  const __m128i minus = is(u'-');
  const __m128i codes = _mm_or_si128(
      _mm_or_si128(_mm_and_si128(digits, digitValues), code(point, u'.')),
      _mm_or_si128(_mm_or_si128(code(lowerE, u'e'), code(upperE, u'E')), _mm_or_si128(code(plus, u'+'), code(minus, u'-'))));
  // Two codes a 16-bit lane into one byte, the first unit's in the low four bits, then the bytes in order.
  const __m128i pairs = _mm_or_si128(_mm_and_si128(codes, _mm_set1_epi16(0x000F)),
                                     _mm_and_si128(_mm_srli_epi16(codes, 4), _mm_set1_epi16(0x00F0)));
  const __m128i exponents = _mm_or_si128(lowerE, upperE);
  const __m128i signs = _mm_or_si128(plus, minus);
  const __m128i members = _mm_or_si128(_mm_or_si128(digits, point), _mm_or_si128(exponents, signs));
  SixteenUnits sixteen;
  sixteen.codes = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(pairs, pairs)));
  sixteen.points = static_cast<unsigned>(_mm_movemask_epi8(point));
  sixteen.exponents = static_cast<unsigned>(_mm_movemask_epi8(exponents));
  sixteen.signs = static_cast<unsigned>(_mm_movemask_epi8(signs));
  sixteen.members = static_cast<unsigned>(_mm_movemask_epi8(members));
  return sixteen;
}

bool OpensNumber(char16_t c) {
  return (c >= u'0' && c <= u'9') || c == u'-' || c == u'+' || c == u'.';
}

// True when more than one bit is set.
bool SeveralBits(std::uint32_t bits) {
  return (bits & (bits - 1)) != 0;
}

}  // namespace

bool ScanNumberToken(const char16_t* text, std::size_t available, PackedToken& packed, NumberClass& kind) {
  // ClassifyNumber's first rule, told without loading anything: a number opens with a digit, a sign or a
  // point. Blanks before a string or a container, and an exponent mark, open none.
  if (available == 0 || !OpensNumber(text[0])) return false;
  std::uint64_t words[2] = {0, 0};
  std::uint32_t points = 0;  // one bit a unit read
  std::uint32_t exponents = 0;
  std::uint32_t signs = 0;
  std::size_t length = kPackedUnitsMost;
  for (std::size_t half = 0; half < 2; ++half) {
    if (16 * half + 16 > available) return false;
    const SixteenUnits sixteen = ReadSixteenUnits(text + 16 * half);
    words[half] = sixteen.codes;
    points |= sixteen.points << (16 * half);
    exponents |= sixteen.exponents << (16 * half);
    signs |= sixteen.signs << (16 * half);
    if (sixteen.members != 0xFFFF) {
      length = 16 * half + static_cast<std::size_t>(std::countr_one(sixteen.members));
      break;
    }
  }
  // A token of 32 units or more is left to the slow way.
  if (length == kPackedUnitsMost) return false;
  // The rest of ClassifyNumber's verdict: more than one point, exponent mark or sign after the first
  // unit is no number.
  const std::uint32_t inToken = (std::uint32_t{1} << length) - 1;
  points &= inToken;
  exponents &= inToken;
  signs &= inToken & ~std::uint32_t{1};
  if (SeveralBits(points) || SeveralBits(exponents) || SeveralBits(signs)) return false;
  kind = (points | exponents | signs) != 0 ? NumberClass::Real : NumberClass::Integer;
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
