#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "text/text_types.h"

// The session's cookie jar is a text: "; " followed by entries "name=value; ". These routines edit that
// text and read cookies out of a response header block. Names in the jar are compared byte for byte,
// and every lookup includes the "=" after the name, so "AB" is never taken for "A".
namespace corvelle::detail {

inline constexpr std::string_view kEmptyJar = "; ";

// First occurrence of `needle` at or after 0-based `from`, walking whole characters; npos when none.
[[nodiscard]] std::size_t FindFrom(std::string_view text, std::string_view needle, std::size_t from = 0);

// A pair whose value is the deletion value: "=deleted", "=DELETED" or "=Deleted" at its end.
[[nodiscard]] bool IsDeletionMarker(std::string_view pair);

// The name=value part of every Set-Cookie header (up to its first ";", leading spaces removed), in
// header order.
[[nodiscard]] std::vector<Text> SetCookiePairs(std::string_view headers);

// Merges one response pair: new cookies are appended, known ones replaced in place, deletion values
// remove them. With keepOnEmpty an empty or deletion value leaves a stored cookie alone. True when the
// jar changed.
bool MergeResponsePair(Text& jar, std::string_view pair, bool keepOnEmpty);

// Merges one caller-given "name=value" (no special values). True when the jar changed.
bool MergeCallerPair(Text& jar, std::string_view pair);

// Cuts the entry of cookie `name`. True when it was there.
bool RemoveJarEntry(Text& jar, std::string_view name);

// A caller's jar text in the jar's shape: "; " in front, and ";" and " " added at the end as needed.
[[nodiscard]] Text NormaliseJar(std::string_view text);

// The entries of the jar without the leading and trailing separators: "a=1; b=2".
[[nodiscard]] Text JarContents(std::string_view jar, int storedLength);

}  // namespace corvelle::detail
