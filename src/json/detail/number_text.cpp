#include "json/detail/number_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "json/detail/packed_number.h"

namespace corvelle::detail {

namespace {

// 10^k for the k fraction digits read in the exact part; every one of them is exact in double, as
// the scale the reader multiplies up step by step is.
constexpr int kMaxExactFraction = 22;
constexpr double kPowersOfTen[kMaxExactFraction + 1] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// Position after leading units at or below 32 and one sign; `negative` tells which sign it was.
std::size_t SkipBlanksAndSign(std::u16string_view token, bool& negative) {
  std::size_t i = 0;
  while (i < token.size() && token[i] <= 32) ++i;
  negative = false;
  if (i < token.size() && (token[i] == u'-' || token[i] == u'+')) {
    negative = token[i] == u'-';
    ++i;
  }
  return i;
}

}  // namespace

NumberClass ClassifyNumber(std::u16string_view token) {
  // One pass: units at or below 32 are skipped, the first other unit must open a number, and the
  // counts of ".", "e"/"E" and later signs decide the rest.
  std::size_t i = 0;
  while (i < token.size() && token[i] <= 32) ++i;
  if (i == token.size()) return NumberClass::None;
  const char16_t first = token[i];
  int dots = first == u'.' ? 1 : 0;
  if (dots == 0 && first != u'+' && first != u'-' && !IsDigit(first)) return NumberClass::None;
  int exponents = 0;
  int signs = 0;
  for (++i; i < token.size(); ++i) {
    const char16_t c = token[i];
    if (IsDigit(c) || c <= 32) continue;
    if (c == u'.') {
      ++dots;
    } else if (c == u'e' || c == u'E') {
      ++exponents;
    } else if (c == u'+' || c == u'-') {
      ++signs;
    } else {
      return NumberClass::None;
    }
  }
  if (dots > 1 || exponents > 1 || signs > 1) return NumberClass::None;
  return dots + exponents + signs > 0 ? NumberClass::Real : NumberClass::Integer;
}

std::int64_t TruncateToInteger(double value) {
  if (std::isnan(value)) return 0;
  // 2^63 is exact in double; anything at or beyond it does not fit.
  constexpr double kLimit = 9223372036854775808.0;
  if (value >= kLimit) return std::numeric_limits<std::int64_t>::max();
  if (value <= -kLimit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

std::int64_t ParseInteger(std::u16string_view token) {
  bool negative = false;
  std::size_t i = SkipBlanksAndSign(token, negative);
  // Accumulated in double, as the value was always read; the sum of integral doubles stays integral,
  // so truncating once at the end is the same as truncating at every step, minus the overflow.
  double accumulator = 0;
  for (; i < token.size() && IsDigit(token[i]); ++i) accumulator = accumulator * 10 + (token[i] - u'0');
  return TruncateToInteger(negative ? -accumulator : accumulator);
}

double ParseReal(std::u16string_view token) {
  bool negative = false;
  std::size_t i = SkipBlanksAndSign(token, negative);
  // mantissa * 10 + digit in double arithmetic. While the mantissa stays below 2^53 every such step is
  // exact, so it is done in integers, which is quicker; past that the double steps (and their
  // rounding) take over unchanged.
  constexpr std::uint64_t kExactLimit = (std::uint64_t{1} << 53) / 10 - 1;
  std::uint64_t exact = 0;
  int fractionDigits = 0;
  bool inFraction = false;
  bool seenDot = false;
  for (; i < token.size(); ++i) {
    const char16_t c = token[i];
    if (IsDigit(c)) {
      if (exact > kExactLimit || (inFraction && fractionDigits == kMaxExactFraction)) break;
      exact = exact * 10 + (c - u'0');
      fractionDigits += inFraction ? 1 : 0;
    } else if (c == u'.' && !seenDot) {
      seenDot = inFraction = true;
    } else {
      break;
    }
  }
  double mantissa = static_cast<double>(exact);
  double scale = kPowersOfTen[fractionDigits];
  for (; i < token.size(); ++i) {
    const char16_t c = token[i];
    if (IsDigit(c)) {
      mantissa = mantissa * 10 + (c - u'0');
      if (inFraction) scale *= 10;
    } else if (c == u'.' && !seenDot) {
      seenDot = inFraction = true;
    } else {
      break;
    }
  }
  double value = (negative ? -mantissa : mantissa) / scale;
  if (i < token.size() && (token[i] == u'e' || token[i] == u'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < token.size() && (token[i] == u'-' || token[i] == u'+')) {
      negativeExponent = token[i] == u'-';
      ++i;
    }
    double exponent = 0;
    for (; i < token.size() && IsDigit(token[i]); ++i) exponent = exponent * 10 + (token[i] - u'0');
    const double power = std::pow(10.0, exponent);
    value = negativeExponent ? value / power : value * power;
  }
  return value;
}

namespace {

// Splits to_chars' scientific text "d.ddde±x" into its digits and exponent; answers the digit count.
int SplitScientific(const char* text, const char* end, char* digits, int& exponent) {
  const char* e = static_cast<const char*>(std::memchr(text, 'e', static_cast<std::size_t>(end - text)));
  int count = 0;
  for (const char* p = text; p < e; ++p) {
    if (*p != '.') digits[count++] = *p;
  }
  std::from_chars(e[1] == '+' ? e + 2 : e + 1, end, exponent);
  return count;
}

// Adds one unit in the 13th significant digit, carrying leftwards; 9999999999999 becomes 1 with the
// exponent one higher.
void RoundUpThirteenth(char* digits, int& exponent) {
  int k = 12;
  while (k >= 0 && digits[k] == '9') digits[k--] = '0';
  if (k >= 0) {
    ++digits[k];
  } else {
    digits[0] = '1';
    ++exponent;
  }
}

// The value's decimal digits correctly rounded to at most 13 significant digits, trailing zeros
// dropped, as printf's %.13g has them; answers their count. The shortest digits that read back as the
// value lie within half a unit of its last binary place of the exact value, which is at most a few
// units of the 17th decimal digit; so they settle the rounding unless the digits past the 13th are
// close to a half, and only then is the slower exact conversion asked.
int ThirteenDigits(double magnitude, char* digits, int& exponent) {
  char text[40];
  if (magnitude < std::numeric_limits<double>::min()) {
    // Subnormal values carry fewer binary digits than 13 decimal ones need: no shortcut.
    const auto exact = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 12);
    int count = SplitScientific(text, exact.ptr, digits, exponent);
    while (count > 1 && digits[count - 1] == '0') --count;
    return count;
  }
  auto result = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific);
  int count = SplitScientific(text, result.ptr, digits, exponent);
  if (count > 13) {
    int tail = 0;  // digits 14 to 17, as a number of units of the 17th
    for (int k = 13; k < 17; ++k) tail = tail * 10 + (k < count ? digits[k] - '0' : 0);
    if (tail >= 4950 && tail <= 5050) {
      result = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 12);
      count = SplitScientific(text, result.ptr, digits, exponent);
    } else {
      count = 13;
      if (tail > 5000) RoundUpThirteenth(digits, exponent);
    }
  }
  while (count > 1 && digits[count - 1] == '0') --count;
  return count;
}

// Lays significant digits out the way %g does: plain for exponents from -4 to 12, else d.ddde±xx.
char* LayOut(const char* digits, int significant, int exponent, char* p) {
  if (exponent < -4 || exponent >= 13) {
    *p++ = digits[0];
    if (significant > 1) {
      *p++ = '.';
      std::memcpy(p, digits + 1, significant - 1);
      p += significant - 1;
    }
    *p++ = 'e';
    *p++ = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) *p++ = '0';
    p = std::to_chars(p, p + 4, magnitude).ptr;
  } else if (exponent < 0) {
    *p++ = '0';
    *p++ = '.';
    for (int k = -1; k > exponent; --k) *p++ = '0';
    std::memcpy(p, digits, significant);
    p += significant;
  } else {
    const int whole = exponent + 1;
    for (int k = 0; k < whole; ++k) *p++ = k < significant ? digits[k] : '0';
    if (significant > whole) {
      *p++ = '.';
      std::memcpy(p, digits + whole, significant - whole);
      p += significant - whole;
    }
  }
  return p;
}

}  // namespace

std::size_t FormatInteger(std::int64_t value, char* out) {
  return static_cast<std::size_t>(std::to_chars(out, out + 24, value).ptr - out);
}

std::size_t FormatReal(double value, char* out) {
  char* p = out;
  if (std::signbit(value)) *p++ = '-';
  if (std::isnan(value)) {
    std::memcpy(p, "nan", 3);
    return static_cast<std::size_t>(p + 3 - out);
  }
  if (std::isinf(value)) {
    std::memcpy(p, "inf", 3);
    return static_cast<std::size_t>(p + 3 - out);
  }
  if (value == 0) {
    *p++ = '0';
    return static_cast<std::size_t>(p - out);
  }
  char digits[17];
  int exponent = 0;
  const int significant = ThirteenDigits(std::fabs(value), digits, exponent);
  return static_cast<std::size_t>(LayOut(digits, significant, exponent, p) - out);
}

namespace {

// Rounds significant digits to at most 13 and lays them out; false when the digits past the 13th lie
// too close to a half to decide.
bool RoundAndLayOut(char* digits, int kept, int exponent, bool negative, char* out, std::size_t& length) {
  if (kept > 13) {
    int tail = 0;  // digits 14 to 17, as a number of units of the 17th
    for (int k = 13; k < 17; ++k) tail = tail * 10 + (k < kept ? digits[k] - '0' : 0);
    if (tail >= 4900 && tail <= 5100) return false;
    kept = 13;
    if (tail > 5000) RoundUpThirteenth(digits, exponent);
  }
  while (kept > 1 && digits[kept - 1] == '0') --kept;
  char* p = out;
  if (negative) *p++ = '-';
  length = static_cast<std::size_t>(LayOut(digits, kept, exponent, p) - out);
  return true;
}

}  // namespace

bool FormatDecimalToken(std::u16string_view token, char* out, std::size_t& length) {
  if (token.empty()) return false;
  std::size_t i = 0;
  const bool negative = token[0] == u'-';
  if (token[0] == u'-' || token[0] == u'+') {
    if (++i == token.size()) return false;
  }
  char digits[20];
  int kept = 0;            // significant digits kept
  int integerDigits = 0;   // digits before the point, leading zeros included
  int fractionDigits = 0;  // digits after it
  int leadingZeros = 0;    // zeros before the first significant digit
  bool dot = false;
  for (; i < token.size(); ++i) {
    const char16_t c = token[i];
    if (c == u'.' && !dot) {
      dot = true;
      continue;
    }
    const unsigned digit = static_cast<unsigned>(c) - u'0';
    if (digit > 9) return false;
    ++(dot ? fractionDigits : integerDigits);
    if (kept == 0 && digit == 0) {
      ++leadingZeros;
    } else {
      if (kept == 19) return false;
      digits[kept++] = static_cast<char>('0' + digit);
    }
  }
  // Beyond 22 fraction digits the reader's scale is inexact and the bound on its error no longer holds.
  if (kept == 0 || fractionDigits > 22) return false;
  return RoundAndLayOut(digits, kept, integerDigits - leadingZeros - 1, negative, out, length);
}

#if defined(__SSE2__)

namespace {

// The sixteen four-bit codes of a word as sixteen bytes, lowest code first.
__m128i SpreadCodes(std::uint64_t word) {
  const __m128i packed = _mm_cvtsi64_si128(static_cast<long long>(word));
  const __m128i nibble = _mm_set1_epi8(0x0F);
  return _mm_unpacklo_epi8(_mm_and_si128(packed, nibble), _mm_and_si128(_mm_srli_epi16(packed, 4), nibble));
}

// One bit a code of both words for which `test` holds, the first code lowest.
template <typename Test>
std::uint32_t CodeBits(__m128i first, __m128i second, Test test) {
  return static_cast<std::uint32_t>(_mm_movemask_epi8(test(first))) |
         static_cast<std::uint32_t>(_mm_movemask_epi8(test(second))) << 16;
}

}  // namespace

// FormatDecimalToken's work done on all codes at once: where the point is, whether anything but digits and
// that point follows the sign, and where the first significant digit stands.
bool FormatPackedDecimal(std::uint64_t low, std::uint64_t high, std::size_t count, char* out,
                         std::size_t& length) {
  if (count == 0 || count > 32) return false;
  const __m128i first = SpreadCodes(low);
  const __m128i second = SpreadCodes(high);
  const __m128i point = _mm_set1_epi8(PackedCode(u'.'));
  const std::uint32_t points = CodeBits(first, second, [&](__m128i c) { return _mm_cmpeq_epi8(c, point); });
  const std::uint32_t others = CodeBits(first, second, [&](__m128i c) { return _mm_cmpgt_epi8(c, point); });
  const std::uint32_t zeros =
      CodeBits(first, second, [](__m128i c) { return _mm_cmpeq_epi8(c, _mm_setzero_si128()); });
  const auto lead = static_cast<std::uint8_t>(low & 0xF);
  const bool negative = lead == PackedCode(u'-');
  const std::size_t start = negative || lead == PackedCode(u'+') ? 1 : 0;
  const std::uint32_t inToken =
      (count == 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << count) - 1) & ~((std::uint32_t{1} << start) - 1);
  const std::uint32_t tokenPoint = points & inToken;
  if ((others & inToken) != 0 || (tokenPoint & (tokenPoint - 1)) != 0) return false;
  const std::uint32_t significant = inToken & ~zeros & ~tokenPoint;
  const std::size_t pointAt = tokenPoint != 0 ? static_cast<std::size_t>(std::countr_zero(tokenPoint)) : count;
  const std::size_t fraction = tokenPoint != 0 ? count - pointAt - 1 : 0;
  if (significant == 0 || fraction > 22) return false;
  char units[32];
  const __m128i zero = _mm_set1_epi8('0');
  _mm_storeu_si128(reinterpret_cast<__m128i*>(units), _mm_add_epi8(first, zero));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(units + 16), _mm_add_epi8(second, zero));
  char digits[32];
  const std::size_t whole = pointAt - start;
  std::memcpy(digits, units + start, whole);
  std::memcpy(digits + whole, units + pointAt + 1, fraction);
  const auto firstSignificant = static_cast<std::size_t>(std::countr_zero(significant));
  const std::size_t leadingZeros = firstSignificant - start - (pointAt < firstSignificant ? 1 : 0);
  const std::size_t kept = whole + fraction - leadingZeros;
  if (kept > 19) return false;
  return RoundAndLayOut(digits + leadingZeros, static_cast<int>(kept),
                        static_cast<int>(whole) - static_cast<int>(leadingZeros) - 1, negative, out, length);
}

#else

bool FormatPackedDecimal(std::uint64_t low, std::uint64_t high, std::size_t count, char* out,
                         std::size_t& length) {
  if (count > kPackedUnitsMost) return false;
  char16_t token[kPackedUnitsMost];
  return FormatDecimalToken(std::u16string_view(token, UnpackToken(low, high, count, token)), out, length);
}

#endif

}  // namespace corvelle::detail
