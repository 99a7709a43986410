#include "resolver/log_id.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <memory>
#include <random>
#include <system_error>

namespace corvelle {
namespace {

// Shortest round-trip digits of a positive finite value and its decimal exponent n, so that the value
// is 0.d1d2d3... × 10^n (the script language's own description of a number).
struct DecimalDigits {
  std::string digits;
  int pointPosition = 0;
};

DecimalDigits ShortestDigits(double value) {
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const std::string_view text(buffer, ec == std::errc() ? static_cast<std::size_t>(end - buffer) : 0);
  // Scientific form: d[.ddd]e±XX
  const std::size_t e = text.find('e');
  DecimalDigits out;
  for (const char c : text.substr(0, e)) {
    if (c != '.') out.digits += c;
  }
  int exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view exp = text.substr(e + 1);
    if (!exp.empty() && exp.front() == '+') exp.remove_prefix(1);
    std::from_chars(exp.data(), exp.data() + exp.size(), exponent);
  }
  out.pointPosition = exponent + 1;
  return out;
}

std::string ExponentText(int exponent) {
  std::string out(exponent < 0 ? "e-" : "e+");
  return out.append(std::to_string(exponent < 0 ? -exponent : exponent));
}

}  // namespace

std::string ScriptNumberText(double value) {
  if (std::isnan(value)) return "NaN";
  if (value == 0) return "0";
  if (value < 0) return std::string("-").append(ScriptNumberText(-value));
  if (std::isinf(value)) return "Infinity";
  const DecimalDigits d = ShortestDigits(value);
  const int k = static_cast<int>(d.digits.size());
  const int n = d.pointPosition;
  if (k <= n && n <= 21) return d.digits + std::string(static_cast<std::size_t>(n - k), '0');
  if (0 < n && n <= 21) return d.digits.substr(0, static_cast<std::size_t>(n)) + "." + d.digits.substr(n);
  if (-6 < n && n <= 0) return std::string("0.").append(static_cast<std::size_t>(-n), '0').append(d.digits);
  const std::string mantissa = k == 1 ? d.digits : d.digits.substr(0, 1) + "." + d.digits.substr(1);
  return mantissa + ExponentText(n - 1);
}

std::string Base64Encode(std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16;
    if (left > 1) group |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    if (left > 2) group |= static_cast<std::uint8_t>(bytes[i + 2]);
    out += kAlphabet[(group >> 18) & 0x3F];
    out += kAlphabet[(group >> 12) & 0x3F];
    out += left > 1 ? kAlphabet[(group >> 6) & 0x3F] : '=';
    out += left > 2 ? kAlphabet[group & 0x3F] : '=';
  }
  return out;
}

Text MakeLogIdFrom(std::int64_t millisSinceEpoch, double random) {
  // Both parts are ASCII, so the script's UTF-8 step changes nothing.
  return Base64Encode(std::to_string(millisSinceEpoch) + ScriptNumberText(random));
}

LogIdSource DefaultLogIdSource() {
  auto engine = std::make_shared<std::mt19937_64>(std::random_device{}());
  return LogIdSource{
      [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
      },
      // 53 random bits scaled into [0, 1), the resolution of a double.
      [engine] { return static_cast<double>((*engine)() >> 11) * 0x1.0p-53; },
  };
}

}  // namespace corvelle
