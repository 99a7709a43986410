#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "json/detail/json_node.h"

// Path addressing: "list[0].server_filename". A path is parsed into steps once per call and then walked
// by one of two small functions: the find-or-create walk (reads and writes) and the existence check.
namespace corvelle::detail {

struct PathStep {
  bool hasName = false;
  bool hasIndex = false;
  std::u16string_view name;  // a view into the caller's storage
  std::int32_t index = 0;
};

// Splits `path` (up to its first NUL) into steps. Escapes are removed inside `storage`, which the
// step names point into.
[[nodiscard]] std::vector<PathStep> ParsePath(std::u16string_view path, std::u16string& storage);

// Reads an index the way StrToIntW does: leading white space, one sign, decimal digits up to the first
// other unit; 0 without digits. Saturates at the int32 limits.
[[nodiscard]] std::int32_t ReadIndex(std::u16string_view text);

// Member `name` of the node, turned into an Object first; a missing member is added as Null.
[[nodiscard]] JsonNode* MemberOf(JsonNode* node, std::u16string_view name);
// Item `index` of the node, turned into an Array first and padded with Nulls up to index; nullptr for a
// negative index.
[[nodiscard]] JsonNode* ItemOf(JsonNode* node, std::int32_t index);

// Appends Null items until the Array holds `count` items; false when memory runs out or when that
// would take an absurd number of new items.
[[nodiscard]] bool PadItems(JsonNode* array, std::uint32_t count);

// The find-or-create walk; the empty path gives `start`.
[[nodiscard]] JsonNode* ResolvePath(JsonNode* start, std::u16string_view path);
// True when every step exists; creates nothing. The empty path gives false.
[[nodiscard]] bool PathExists(const JsonNode* start, std::u16string_view path);

}  // namespace corvelle::detail
