#include "json/detail/number_text.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace corvelle::detail {

namespace {

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
  bool first = true;
  bool real = false;
  int dots = 0;
  int exponents = 0;
  int signs = 0;
  for (const char16_t c : token) {
    if (c <= 32) continue;
    if (first) {
      first = false;
      if (c == u'.') {
        ++dots;
        real = true;
      } else if (!(c == u'+' || c == u'-' || IsDigit(c))) {
        return NumberClass::None;
      }
      continue;
    }
    if (IsDigit(c)) continue;
    if (c == u'.') {
      ++dots;
    } else if (c == u'e' || c == u'E') {
      ++exponents;
    } else if (c == u'+' || c == u'-') {
      ++signs;
    } else {
      return NumberClass::None;
    }
    real = true;
  }
  if (first || dots > 1 || exponents > 1 || signs > 1) return NumberClass::None;
  return real ? NumberClass::Real : NumberClass::Integer;
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
  double mantissa = 0;
  double scale = 1;
  for (; i < token.size() && IsDigit(token[i]); ++i) mantissa = mantissa * 10 + (token[i] - u'0');
  if (i < token.size() && token[i] == u'.') ++i;
  for (; i < token.size() && IsDigit(token[i]); ++i) {
    mantissa = mantissa * 10 + (token[i] - u'0');
    scale *= 10;
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
  // Thirteen significant digits, correctly rounded like printf, in the form d.dddddddddddde±x; then laid
  // out the way %g lays them out.
  char scientific[40];
  const auto result = std::to_chars(scientific, scientific + sizeof scientific, std::fabs(value),
                                    std::chars_format::scientific, 12);
  const char* e = static_cast<const char*>(std::memchr(scientific, 'e', result.ptr - scientific));
  int exponent = 0;
  std::from_chars(e[1] == '+' ? e + 2 : e + 1, result.ptr, exponent);
  char digits[13];
  digits[0] = scientific[0];
  std::memcpy(digits + 1, scientific + 2, 12);
  int significant = 13;
  while (significant > 1 && digits[significant - 1] == '0') --significant;

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
  return static_cast<std::size_t>(p - out);
}

}  // namespace corvelle::detail
