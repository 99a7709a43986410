#pragma once

#include "json/detail/json_node.h"
#include "text/text_types.h"

// Turns a node and everything below it into JSON text, walking the tree with an explicit stack.
//
// Compact form has no blanks at all. Pretty form breaks each Object across lines (CR LF) and indents
// its members with one tab per level of depth; Arrays stay on one line but count as a level for the
// Objects inside them. Numbers are written from their values (Reals as "%.13g"), never from their
// source text; Raw tokens verbatim.
namespace corvelle::detail {

// The text, without a terminating unit of its own; empty for nullptr.
[[nodiscard]] WideText WriteJsonText(const JsonNode* node, bool pretty, bool escapeStrings);

// Appends `text` with a backslash before \, " and /, and \b \t \n \r \f for those five control
// characters; every other unit stays as it is.
void AppendEscaped(WideText& out, std::u16string_view text);

}  // namespace corvelle::detail
