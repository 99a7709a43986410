#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

namespace corvelle::detail {

// The values of the header lines of a raw response header block ("status line CRLF, Name:value CRLF,
// ..., CRLF") whose name is exactly `name`, ASCII letter case ignored, as the text right after the colon
// up to the line's CRLF. Matching whole names at the start of a line keeps "Content-Location" from
// passing for "Location" and a header value that happens to contain "Set-Cookie:" from passing for a
// cookie. The status line is never a header, and a last line without its CRLF counts as absent.
[[nodiscard]] std::vector<std::string_view> HeaderValues(
    std::string_view block, std::string_view name,
    std::size_t limit = std::numeric_limits<std::size_t>::max());

[[nodiscard]] std::optional<std::string_view> FirstHeaderValue(std::string_view block, std::string_view name);

// True when `text` begins with `prefix`, ASCII letter case ignored.
[[nodiscard]] bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

}  // namespace corvelle::detail
