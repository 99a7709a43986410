#pragma once

#include "json/detail/json_node.h"

// Whole-tree operations, each walking the tree with an explicit work list: deep copy, the reachability
// test that keeps cycles out, member sorting and merging.
namespace corvelle::detail {

// A free copy of the node and everything below it (numbers get their constructors' source text);
// nullptr when memory runs out.
[[nodiscard]] JsonNode* DeepCopy(const JsonNode* node);

// True when `target` is `node` or lies anywhere below it.
[[nodiscard]] bool Contains(const JsonNode* node, const JsonNode* target);

// Orders the members of an Object by key with the case-sensitive collation of CompareKeys.
void SortMembers(JsonNode* object, bool descending);

// Case-sensitive collation of keys: letters compare alike whatever their case first, then a lower-case
// letter comes before its upper-case form; other units compare by value.
[[nodiscard]] int CompareKeys(std::u16string_view a, std::u16string_view b);

// Folds the members of `source` into `target`: Objects both sides have merge member by member, every
// other value replaces the target's member as a copy; members missing in the target are added only
// with `addMissing`. When `target` is not an Object pair to `source` but sits in an Object, `source`
// itself takes its place there and `sourceAttached` is set. True when at least one member was merged
// and nothing failed; a nested Object pair that merges nothing stops the whole merge.
[[nodiscard]] bool MergeTrees(JsonNode* target, JsonNode* source, bool addMissing, bool& sourceAttached);

}  // namespace corvelle::detail
