#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvelle::share_service {

// One key=value pair of a query or form text, the value as sent (still percent-encoded).
struct FormField {
  std::string key;
  std::string raw;
};

// The pairs of "a=1&b=2" in their order; a piece without "=" is a key with an empty value.
[[nodiscard]] std::vector<FormField> SplitFields(std::string_view text);

// The value of the first pair with that key, as sent.
[[nodiscard]] std::optional<std::string> RawField(const std::vector<FormField>& fields, std::string_view key);

// Form decoding: "+" is a space, "%XY" the byte XY; a broken escape stays as it is.
[[nodiscard]] std::string FormDecode(std::string_view text);

// Percent decoding alone: "%XY" is the byte XY, "+" stays.
[[nodiscard]] std::string PercentDecode(std::string_view text);

// A text as a JSON string literal: everything beyond ASCII as \u escapes (surrogate pairs beyond the
// basic plane) and "/" as "\/", the way the service writes its replies.
[[nodiscard]] std::string JsonString(std::string_view utf8);

}  // namespace corvelle::share_service
