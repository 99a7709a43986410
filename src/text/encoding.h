#pragma once

#include <string_view>

#include "text/text_types.h"

// Conversions between code page 936, UTF-16LE and UTF-8.
//
// Code page 936 is used whatever the process locale is. No conversion ever fails: a byte sequence that
// does not decode becomes U+FFFD and the conversion goes on after it; a character that code page 936
// cannot hold (an emoji, a lone surrogate) becomes "?". Every function is safe to call from several
// threads at once. Inputs are taken up to their first NUL, as the C strings they stand for.
namespace corvelle {

// Code page 936 to UTF-16. Pure ASCII input never leaves the fast path.
[[nodiscard]] WideText TextToUtf16(std::string_view text);

// The same into `units`, which has room for one unit a byte of `text` (never more are needed); answers
// the number of units written. For callers that would rather not have a string filled in first.
std::size_t TextToUtf16Units(std::string_view text, char16_t* units);

// The JSON engine's name for the same conversion: code page 936 text to UTF-16.
[[nodiscard]] inline WideText AnsiToUtf16(std::string_view text) {
  return TextToUtf16(text);
}

// UTF-16 to code page 936.
[[nodiscard]] Text Utf16ToText(std::u16string_view wide);

// UTF-8 to code page 936 (through UTF-16); malformed UTF-8 becomes U+FFFD, which code page 936 writes
// as "?".
[[nodiscard]] Text Utf8ToText(std::string_view utf8);

// Code page 936 to UTF-8, for tools that read and write files.
[[nodiscard]] std::string TextToUtf8(std::string_view text);

// UTF-8 to UTF-16 and back; malformed UTF-8 and lone surrogates become U+FFFD.
[[nodiscard]] WideText Utf8ToUtf16(std::string_view utf8);
[[nodiscard]] std::string Utf16ToUtf8(std::u16string_view wide);

// The bytes of a Bytes value viewed as a text (up to the first NUL when there is one).
[[nodiscard]] Text BytesToText(const Bytes& bytes);

}  // namespace corvelle
