#pragma once

#include <string_view>

#include "json/detail/json_node.h"
#include "text/text_types.h"

// Turns a node and everything below it into JSON text, walking the tree with an explicit stack.
//
// Compact form has no blanks at all. Pretty form breaks each Object across lines (CR LF) and indents
// its members with one tab per level of depth; Arrays stay on one line but count as a level for the
// Objects inside them. Numbers are written from their values (Reals as "%.13g"), never from their
// source text; Raw tokens verbatim. Strings get a backslash before \, " and /, and \b \t \n \r \f for
// those five control characters; every other unit stays as it is.
namespace corvelle::detail {

// The text, without a terminating unit of its own; empty for nullptr.
[[nodiscard]] WideText WriteJsonText(const JsonNode* node, bool pretty, bool escapeStrings);

// The same text as a view into a buffer of this thread, valid until the next call on this thread.
[[nodiscard]] std::u16string_view WriteJsonTextView(const JsonNode* node, bool pretty, bool escapeStrings);

// The same text in code page 936, written as such rather than converted afterwards.
[[nodiscard]] Text WriteJsonTextAsText(const JsonNode* node, bool pretty, bool escapeStrings);

}  // namespace corvelle::detail
