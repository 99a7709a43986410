#pragma once

#include <string>
#include <string_view>
#include <vector>

// Reading a response head block: status line and header lines, each ended by CRLF.
namespace corvelle::platform::detail {

struct StatusLine {
  std::string code;  // "200"; empty when the line has none
  std::string text;  // "OK"; may be empty
};

[[nodiscard]] StatusLine ParseStatusLine(std::string_view head);
// The values of every header line named `name` (ASCII case ignored), blanks trimmed, in order.
[[nodiscard]] std::vector<std::string_view> HeaderValues(std::string_view head, std::string_view name);
// The first of them, or empty.
[[nodiscard]] std::string HeaderValue(std::string_view head, std::string_view name);

}  // namespace corvelle::platform::detail
