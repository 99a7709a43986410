#include "json/detail/json_path.h"

#include <limits>

namespace corvelle::detail {

namespace {

// Padding an Array to reach an index makes one Null node per missing item. A path with an absurd index
// ("a[2000000000]") would otherwise take all memory; past this many new items it is treated as memory
// running out, which gives no node.
constexpr std::uint32_t kMaxPadding = 1u << 22;

bool IsEscapable(char16_t c) {
  return c == u'.' || c == u'[' || c == u']' || c == u'\\';
}

}  // namespace

std::int32_t ReadIndex(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > std::numeric_limits<std::int32_t>::max()) {
      return negative ? std::numeric_limits<std::int32_t>::min() : std::numeric_limits<std::int32_t>::max();
    }
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

std::vector<PathStep> ParsePath(std::u16string_view path, std::u16string& storage) {
  std::vector<PathStep> steps;
  storage.assign(path.substr(0, path.find(u'\0')));
  if (storage.empty()) return steps;
  std::size_t segmentStart = 0;
  std::size_t indexStart = 0;
  bool bracketSeen = false;
  bool nameAllowed = true;
  PathStep pending;
  const auto units = [&](std::size_t from, std::size_t to) {
    return std::u16string_view(storage.data() + from, to - from);
  };
  for (std::size_t j = 0; j <= storage.size(); ++j) {
    const bool atEnd = j == storage.size();
    const char16_t c = atEnd ? u'\0' : storage[j];
    if (c == u'\\' && !atEnd) {
      if (j + 1 < storage.size() && IsEscapable(storage[j + 1]))
        storage.erase(j, 1);  // skip the escaped unit
      continue;
    }
    if (c == u'.' || atEnd) {
      if (!pending.hasName && nameAllowed) {
        pending.name = units(segmentStart, j);
        pending.hasName = true;
      }
      if (!pending.hasIndex && bracketSeen) {
        pending.index = ReadIndex(units(indexStart, j));
        pending.hasIndex = true;
      }
      steps.push_back(pending);
      pending = PathStep{};
      segmentStart = j + 1;
      bracketSeen = false;
      nameAllowed = true;
    } else if (c == u'[') {
      indexStart = j + 1;
      bracketSeen = true;
      nameAllowed = segmentStart < j;
      if (!pending.hasName && segmentStart < j) {
        pending.name = units(segmentStart, j);
        pending.hasName = true;
      }
    } else if (c == u']') {
      if (!pending.hasIndex && bracketSeen) {
        pending.index = ReadIndex(units(indexStart, j));
        pending.hasIndex = true;
      }
    }
  }
  return steps;
}

JsonNode* MemberOf(JsonNode* node, std::u16string_view name) {
  if (node == nullptr) return nullptr;
  MakeObject(node);
  const std::uint32_t hash = KeyHash(name);
  const std::int32_t found = TableFind(node, name, hash);
  if (found >= 0) return MemberAt(node, static_cast<std::uint32_t>(found)).node;
  JsonNode* member = NewNullNode();
  if (member == nullptr) return nullptr;
  if (!ObjectSetMember(node, name, hash, member)) {
    Release(member);
    return nullptr;
  }
  return member;
}

JsonNode* ItemOf(JsonNode* node, std::int32_t index) {
  if (node == nullptr) return nullptr;
  MakeArray(node);
  if (index < 0) return nullptr;
  const auto wanted = static_cast<std::uint32_t>(index);
  if (!PadItems(node, wanted + 1)) return nullptr;
  return ItemAt(node, wanted);
}

bool PadItems(JsonNode* array, std::uint32_t count) {
  if (count > ItemCount(array) && count - ItemCount(array) > kMaxPadding) return false;
  while (ItemCount(array) < count) {
    JsonNode* item = NewNullNode();
    if (item == nullptr) return false;
    if (!ArrayAppendChild(array, item)) {
      Release(item);
      return false;
    }
  }
  return true;
}

JsonNode* ResolvePath(JsonNode* start, std::u16string_view path) {
  std::u16string storage;
  JsonNode* current = start;
  for (const PathStep& step : ParsePath(path, storage)) {
    if (step.hasName) current = MemberOf(current, step.name);
    if (step.hasIndex) current = ItemOf(current, step.index);
  }
  return current;
}

bool PathExists(const JsonNode* start, std::u16string_view path) {
  std::u16string storage;
  const std::vector<PathStep> steps = ParsePath(path, storage);
  if (steps.empty() || start == nullptr) return false;
  const JsonNode* current = start;
  for (const PathStep& step : steps) {
    if (step.hasName) {
      const std::int32_t found = TableFind(current, step.name, KeyHash(step.name));
      if (found < 0) return false;
      current = MemberAt(current, static_cast<std::uint32_t>(found)).node;
    }
    if (step.hasIndex) {
      if (step.index < 0 || static_cast<std::uint32_t>(step.index) >= ItemCount(current)) return false;
      current = ItemAt(current, static_cast<std::uint32_t>(step.index));
    }
  }
  return true;
}

}  // namespace corvelle::detail
