#pragma once

#include <string_view>

namespace corvelle::platform::detail {

// Drops the spaces and tabs HTTP allows around header values and cookie attributes.
[[nodiscard]] inline std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace corvelle::platform::detail
