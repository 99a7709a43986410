#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Number tokens of JSON text: the lenient validity test, the two readers and the two writers. Every
// conversion is defined for every input: values past the 64-bit range saturate, not-a-number reads as
// 0 where an integer is asked for.
namespace corvelle::detail {

enum class NumberClass { None, Integer, Real };

// Classifies a token (already stripped of blanks): Real when it holds ".", "e", "E" or a sign after the
// first unit; None when it is not a number at all. Units at or below 32 are skipped wherever they stand.
[[nodiscard]] NumberClass ClassifyNumber(std::u16string_view token);

// Reads leading blanks, one sign and digits, accumulating in double; saturates at the int64 limits.
[[nodiscard]] std::int64_t ParseInteger(std::u16string_view token);

// Reads sign, digits, one ".", digits and an optional exponent, all in double arithmetic.
[[nodiscard]] double ParseReal(std::u16string_view token);

// A double truncated toward zero to int64: saturated at the limits, not-a-number gives 0.
[[nodiscard]] std::int64_t TruncateToInteger(double value);

// "%.13g" of the value, as the C library writes it ("inf", "-nan" included). Needs 32 bytes of room;
// answers the length.
std::size_t FormatReal(double value, char* out);

// "%.13g" of ParseReal(token) worked out from the token's own digits, which spares reading the value and
// converting it back. Only for plain decimal tokens (a sign, digits, one "."), and only when their
// digits past the 13th are not close to a half: the value read may lie a few units of the 17th digit
// off the token's exact value. False otherwise, and the caller formats the value.
bool FormatDecimalToken(std::u16string_view token, char* out, std::size_t& length);

// The same for a token packed four bits a unit ("0123456789.eE+-"), 16 units a word.
bool FormatPackedDecimal(std::uint64_t low, std::uint64_t high, std::size_t count, char* out,
                         std::size_t& length);

// Signed decimal digits. Needs 24 bytes of room; answers the length.
std::size_t FormatInteger(std::int64_t value, char* out);

}  // namespace corvelle::detail
