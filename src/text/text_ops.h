#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "text/text_types.h"

// The text operations every layer shares. Positions are 1-based byte positions; a failed search answers
// -1. Searches walk the text one character at a time, so a match never starts on the second byte of a
// two-byte character. Case folding, where asked for, touches ASCII letters only.
namespace corvelle {

// True when `byte` starts a two-byte character of code page 936.
[[nodiscard]] constexpr bool IsLeadByte(unsigned char byte) {
  return byte >= 0x81 && byte != 0xFF;
}

enum class CaseMode { Sensitive, Insensitive };

// First occurrence of `needle` at or after 1-based position `start`; -1 when there is none, when the
// needle is empty or when `start` is outside the text.
[[nodiscard]] int FindText(std::string_view text, std::string_view needle, int start = 1,
                           CaseMode mode = CaseMode::Sensitive);

// Last occurrence of `needle`; -1 when there is none or the needle is empty.
[[nodiscard]] int FindLastText(std::string_view text, std::string_view needle,
                               CaseMode mode = CaseMode::Sensitive);

// Removes the ASCII space and the ideographic space (0xA1 0xA1) from both ends; tabs, CR and LF stay.
[[nodiscard]] Text TrimSpaces(std::string_view text);
[[nodiscard]] Text TrimLeadingSpaces(std::string_view text);

// ASCII-only case changes; two-byte characters are left as they are, trail bytes included.
[[nodiscard]] Text ToLowerAscii(std::string_view text);
[[nodiscard]] Text ToUpperAscii(std::string_view text);

// Full-width ASCII forms (lead byte 0xA3) and the ideographic space become their one-byte forms, then
// the text is read like atoi: leading spaces, an optional sign, digits; 0 when there are none. Values
// past the range of int saturate at its limits.
[[nodiscard]] int TextToInt(std::string_view text);

// Every piece between separators, empty ones included, plus the rest after the last separator only
// when it is not empty: "a;;b;" gives "a", "", "b". A text without the separator (or an empty
// separator) is one piece; an empty text gives none.
[[nodiscard]] std::vector<Text> SplitText(std::string_view text, std::string_view separator);

}  // namespace corvelle
