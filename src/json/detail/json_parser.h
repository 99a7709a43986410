#pragma once

#include <cstddef>
#include <cstdint>

#include "json/detail/json_node.h"

// The lenient single-pass JSON reader. It accepts single-quoted strings, missing colons before
// containers, empty array elements and unquoted tokens it cannot classify (kept as Raw), and it never
// recurses: open containers live on an explicit stack.
namespace corvelle::detail {

enum ParseCode : int {
  kParseOk = 0,
  kParseAttachFailed = -1,
  kParseNoInput = -2,
  kParseNoMemory = -3,
  kParseNoKey = -4,
  kParseOutsideContainer = -5,
  kParseEmptyElement = -7,
  kParseColonInArray = -8,
};

// Parses `length` UTF-16 units into `root` (emptied first; its kind changes only at a top-level
// bracket). Answers 0 or a negative ParseCode; on failure the root is left empty.
[[nodiscard]] int ParseJsonText(JsonNode* root, const char16_t* text, std::size_t length, bool decodeUnicode);

// Decodes the escapes of a string in place and answers the new length. \u with four hexadecimal digits
// is decoded only with `decodeUnicode`; a decoded U+0000 ends the text; any other escape stays as it is.
std::size_t UnescapeJsonString(char16_t* text, std::size_t length, bool decodeUnicode);

// A short name for a parse code ("no key", ...), for people reading a tool's error output.
[[nodiscard]] const char* ParseCodeName(int code);

}  // namespace corvelle::detail
