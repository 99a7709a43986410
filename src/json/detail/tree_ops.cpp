#include "json/detail/tree_ops.h"

#include <utility>
#include <vector>

namespace corvelle::detail {

namespace {

// A copy of the node alone: scalars complete, containers empty.
JsonNode* ShallowCopy(const JsonNode* node) {
  switch (node->kind) {
    case Kind::Null:
      return NewNullNode();
    case Kind::Real:
      return NewRealNode(RealValue(node));
    case Kind::Integer:
      return NewIntegerNode(IntegerValue(node));
    case Kind::Boolean:
      return NewBooleanNode(BooleanValue(node));
    case Kind::String:
      return NewStringNode(StringValue(node));
    case Kind::Raw:
      return NewRawNode(node->source == Source::Block ? View(node->extra.sourceText) : std::u16string_view());
    case Kind::Array:
      return NewArrayNode();
    case Kind::Object:
      return NewObjectNode();
  }
  return nullptr;
}

bool IsContainer(const JsonNode* node) {
  return node->kind == Kind::Array || node->kind == Kind::Object;
}

char16_t FoldCase(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

}  // namespace

JsonNode* DeepCopy(const JsonNode* node) {
  if (node == nullptr) return nullptr;
  JsonNode* copy = ShallowCopy(node);
  if (copy == nullptr) return nullptr;
  std::vector<std::pair<const JsonNode*, JsonNode*>> pending;
  if (IsContainer(node)) pending.emplace_back(node, copy);
  while (!pending.empty()) {
    const auto [source, target] = pending.back();
    pending.pop_back();
    const bool isArray = source->kind == Kind::Array;
    const std::uint32_t count = isArray ? ItemCount(source) : MemberCount(source);
    for (std::uint32_t i = 0; i < count; ++i) {
      const JsonNode* child = isArray ? ItemAt(source, i) : MemberAt(source, i).node;
      JsonNode* childCopy = ShallowCopy(child);
      bool attached = false;
      if (childCopy != nullptr) {
        if (isArray) {
          attached = ArrayAppendChild(target, childCopy);
        } else {
          const TextBlock* key = MemberAt(source, i).key;
          attached = ObjectSetMember(target, View(key), key->hash, childCopy);
        }
      }
      if (!attached) {
        Release(childCopy);
        Release(copy);
        return nullptr;
      }
      if (IsContainer(child)) pending.emplace_back(child, childCopy);
    }
  }
  return copy;
}

bool Contains(const JsonNode* node, const JsonNode* target) {
  std::vector<const JsonNode*> pending{node};
  while (!pending.empty()) {
    const JsonNode* current = pending.back();
    pending.pop_back();
    if (current == target) return true;
    for (std::uint32_t i = 0; i < ItemCount(current); ++i) pending.push_back(ItemAt(current, i));
    for (std::uint32_t i = 0; i < MemberCount(current); ++i) pending.push_back(MemberAt(current, i).node);
  }
  return false;
}

int CompareKeys(std::u16string_view a, std::u16string_view b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    const char16_t x = FoldCase(a[i]);
    const char16_t y = FoldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = 0; i < common; ++i) {
    if (a[i] != b[i]) return a[i] > b[i] ? -1 : 1;  // here they differ in case only: lower first
  }
  return 0;
}

void SortMembers(JsonNode* object, bool descending) {
  const std::uint32_t count = MemberCount(object);
  if (count < 2) return;
  const MemberEntry* entries = Entries(object->value.table);
  std::vector<std::uint32_t> a(count);
  for (std::uint32_t i = 0; i < count; ++i) a[i] = i;
  const auto cmp = [&](std::uint32_t x, std::uint32_t y) {
    const int c = CompareKeys(View(entries[x].key), View(entries[y].key));
    return descending ? -c : c;
  };
  // Quicksort with the median of three left at the low end and a hole-moving partition; the ranges
  // left to sort wait on an explicit stack, the larger one pushed first so the stack stays shallow.
  std::vector<std::pair<std::int64_t, std::int64_t>> ranges{{0, static_cast<std::int64_t>(count) - 1}};
  while (!ranges.empty()) {
    const auto [lo, hi] = ranges.back();
    ranges.pop_back();
    if (lo >= hi) continue;
    const std::int64_t mid = lo + (hi - lo) / 2;
    if (cmp(a[lo], a[hi]) > 0) std::swap(a[lo], a[hi]);
    if (cmp(a[mid], a[hi]) > 0) std::swap(a[mid], a[hi]);
    if (cmp(a[mid], a[lo]) > 0) std::swap(a[mid], a[lo]);
    const std::uint32_t pivot = a[lo];
    std::int64_t i = lo;
    std::int64_t j = hi;
    while (i < j) {
      while (i < j && cmp(a[j], pivot) >= 0) --j;
      if (i < j) a[i++] = a[j];
      while (i < j && cmp(a[i], pivot) <= 0) ++i;
      if (i < j) a[j--] = a[i];
    }
    a[i] = pivot;
    const std::pair<std::int64_t, std::int64_t> left{lo, i - 1};
    const std::pair<std::int64_t, std::int64_t> right{i + 1, hi};
    if (left.second - left.first > right.second - right.first) {
      ranges.push_back(left);
      ranges.push_back(right);
    } else {
      ranges.push_back(right);
      ranges.push_back(left);
    }
  }
  TablePermute(object, a);
}

bool MergeTrees(JsonNode* target, JsonNode* source, bool addMissing, bool& sourceAttached) {
  sourceAttached = false;
  if (target->kind != Kind::Object || source->kind != Kind::Object) {
    // Not an Object pair: the source takes the target's place in the Object that holds it.
    JsonNode* holder = target->parent;
    if (holder == nullptr || holder->kind != Kind::Object) return false;
    for (std::uint32_t i = 0; i < MemberCount(holder); ++i) {
      const TextBlock* key = MemberAt(holder, i).key;
      if (MemberAt(holder, i).node != target) continue;
      sourceAttached = ObjectSetMember(holder, View(key), key->hash, source);
      return sourceAttached;
    }
    return false;
  }
  // Object pairs still being merged, innermost last. Only values that are attached are copied, once
  // each, so the work is linear in the size of both trees.
  struct Frame {
    JsonNode* target;
    const JsonNode* source;
    std::uint32_t next;
    bool merged;
  };
  std::vector<Frame> frames{Frame{target, source, 0, false}};
  for (;;) {
    Frame& frame = frames.back();
    if (frame.next == MemberCount(frame.source)) {
      const bool merged = frame.merged;
      frames.pop_back();
      if (frames.empty() || !merged) return merged;
      frames.back().merged = true;
      continue;
    }
    const MemberEntry& member = MemberAt(frame.source, frame.next++);
    const std::u16string_view key = View(member.key);
    const std::int32_t found = TableFind(frame.target, key, member.key->hash);
    if (found < 0 && !addMissing) continue;
    if (found >= 0) {
      JsonNode* existing = MemberAt(frame.target, static_cast<std::uint32_t>(found)).node;
      if (existing->kind == Kind::Object && member.node->kind == Kind::Object) {
        frames.push_back(Frame{existing, member.node, 0, false});
        continue;
      }
    }
    JsonNode* copy = DeepCopy(member.node);
    if (copy == nullptr) return false;
    if (!ObjectSetMember(frame.target, key, member.key->hash, copy)) {
      Release(copy);
      return false;
    }
    frame.merged = true;
  }
}

}  // namespace corvelle::detail
