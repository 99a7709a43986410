#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "json/detail/number_text.h"

// Number tokens packed four bits a unit. Most number tokens are short and made only of the characters
// below, so a node keeps such a token in its two value words instead of a text block of its own; the
// value is read from the token only when someone asks for it.
namespace corvelle::detail {

// The characters of a packed token; a unit's code is its position here.
inline constexpr char16_t kPackedUnits[] = u"0123456789.eE+-";
inline constexpr std::size_t kPackedUnitsMost = 32;

// The code of a unit that has one.
constexpr std::uint8_t PackedCode(char16_t unit) {
  std::uint8_t code = 0;
  while (kPackedUnits[code] != unit) ++code;
  return code;
}

struct PackedToken {
  std::uint64_t low = 0;   // units 0 to 15, the first one in the lowest four bits
  std::uint64_t high = 0;  // units 16 to 31
  std::size_t length = 0;
};

// Packs a token of at most 32 units; false when it is longer or holds a unit that has no code.
[[nodiscard]] bool PackToken(std::u16string_view token, PackedToken& packed);

// The units of a packed token into `out` (room for 32 units); answers their count.
std::size_t UnpackToken(std::uint64_t low, std::uint64_t high, std::size_t length, char16_t* out);

// Reads the number token `text` starts with: the run of units that have a code, packed, with the class
// ClassifyNumber gives it. True only for a run of 1 to 31 units that is a number (Integer or Real) and
// is followed by some other unit, which then is `text[packed.length]`; false otherwise, and the caller
// reads the token the slow way. Units are loaded sixteen at a time, so the run is only read where that
// many are `available`.
[[nodiscard]] bool ScanNumberToken(const char16_t* text, std::size_t available, PackedToken& packed,
                                   NumberClass& kind);

}  // namespace corvelle::detail
