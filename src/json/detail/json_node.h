#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

#include "json/node_kind.h"
#include "text/text_types.h"

// The JSON value tree: reference-counted nodes, the item list of an Array and the member table of an
// Object, and the primitive operations everything else builds on.
//
// Ownership: a new node has one reference, held by its creator. Attaching a node to a container hands
// that reference to the container. A container that lets go of a child (cleared, emptied, destroyed,
// member replaced or removed) clears the child's `parent` when it points at the container and then
// drops its reference, so a child that lives on elsewhere never reaches a container that is gone.
// Member keys belong to the table entry, not to the member, so a node may sit under several keys.
//
// Nothing here recurses: destroying a tree walks it with an explicit work list.
namespace corvelle::detail {

using Kind = NodeKind;

// Where a scalar's source text comes from.
enum class Source : std::uint8_t {
  None,     // no source text
  Derived,  // written from the kind and value: "null", "true", a constructor's number text
  Block,    // `extra.sourceText`, the token kept as it was read
  Packed,   // a number token packed four bits a unit into `value` and `extra`; the value is read from it
};

// A UTF-16 text block: this header, then `length` code units. Keys carry their hash.
struct TextBlock {
  std::uint32_t length;
  std::uint32_t hash;
};

struct JsonNode;
struct PackedToken;

// Items of an Array: this header, then `capacity` node pointers.
struct NodeList {
  std::uint32_t count;
  std::uint32_t capacity;
};

struct MemberEntry {
  TextBlock* key;
  JsonNode* node;
};

// Members of an Object in member order: this header, then `capacity` entries.
struct MemberTable {
  std::uint32_t count;
  std::uint32_t capacity;
};

// Hash index over a larger member table: positions into the entries, -1 for a free slot.
struct KeyIndex {
  std::uint32_t shift;
  std::uint32_t capacity;
};

struct JsonNode {
  std::atomic<std::int32_t> refCount;
  Kind kind;
  Source source;
  std::uint16_t packedLength;  // units of a Packed token
  JsonNode* parent;            // the container the node was last attached to; not a counted reference
  union {
    double real;
    std::int64_t integer;
    std::uint64_t bits;
    TextBlock* text;     // String; nullptr is the empty text
    NodeList* list;      // Array; nullptr is no items
    MemberTable* table;  // Object; nullptr is no members
  } value;
  union {
    std::uint64_t bits;
    TextBlock* sourceText;  // Source::Block
    KeyIndex* index;        // Object with more members than a short scan covers
  } extra;
};

// ---- Text blocks ----
[[nodiscard]] inline std::u16string_view View(const TextBlock* block) {
  return block == nullptr ? std::u16string_view()
                          : std::u16string_view(reinterpret_cast<const char16_t*>(block + 1), block->length);
}
[[nodiscard]] TextBlock* NewTextBlock(std::u16string_view text, std::uint32_t hash = 0);
void FreeTextBlock(TextBlock* block);
// h = h * 31 + c over the units and once more for the terminating NUL, in wrapping 32-bit arithmetic.
[[nodiscard]] std::uint32_t KeyHash(std::u16string_view key);

// ---- Constructors: a free node with one reference, or nullptr when memory runs out ----
[[nodiscard]] JsonNode* NewObjectNode();
[[nodiscard]] JsonNode* NewArrayNode();
[[nodiscard]] JsonNode* NewStringNode(std::u16string_view text);
[[nodiscard]] JsonNode* NewNullNode();
[[nodiscard]] JsonNode* NewRealNode(double value);
[[nodiscard]] JsonNode* NewIntegerNode(std::int64_t value);
[[nodiscard]] JsonNode* NewBooleanNode(bool value);
[[nodiscard]] JsonNode* NewRawNode(std::u16string_view text);
// A Real or Integer node for a number token as read; the token stays its source text.
[[nodiscard]] JsonNode* NewNumberNode(Kind kind, std::u16string_view token);
// The same for a token already packed.
[[nodiscard]] JsonNode* NewPackedNumberNode(Kind kind, std::u16string_view token, const PackedToken& packed);

// ---- References ----
void AddRef(JsonNode* node);
// Drops one reference; at zero the node and every child nobody else holds are destroyed.
void Release(JsonNode* node);

// ---- Values ----
// Frees the value and the source text; the kind stays. Children lose the container's reference.
void ClearNode(JsonNode* node);
// Empties the value keeping the kind: no items, no members, no text, 0 for scalars; no source text.
void EmptyNodeValue(JsonNode* node);
// Turn the node into an empty container unless it is one already.
void MakeArray(JsonNode* node);
void MakeObject(JsonNode* node);
// Scalar setters: clear the node, then store kind, value and the derived source text.
void SetStringValue(JsonNode* node, std::u16string_view text);
void SetNullValue(JsonNode* node);
void SetBooleanValue(JsonNode* node, bool value);
void SetRealValue(JsonNode* node, double value);
void SetIntegerValue(JsonNode* node, std::int64_t value);

// ---- Arrays ----
[[nodiscard]] inline std::uint32_t ItemCount(const JsonNode* node) {
  return node->kind == Kind::Array && node->value.list != nullptr ? node->value.list->count : 0;
}
[[nodiscard]] inline JsonNode** Items(NodeList* list) {
  return reinterpret_cast<JsonNode**>(list + 1);
}
[[nodiscard]] inline JsonNode* ItemAt(const JsonNode* node, std::uint32_t index) {
  return Items(node->value.list)[index];
}
// Makes the node an Array when needed, sets the child's parent and appends it.
[[nodiscard]] bool ArrayAppendChild(JsonNode* array, JsonNode* child);
// Takes the item at index out of the list (later items move down), clears its parent link when it
// points here and answers it, still holding the list's reference, which passes to the caller.
[[nodiscard]] JsonNode* ListTakeAt(JsonNode* array, std::uint32_t index);
// Replaces the item at index: the old item leaves (its reference passes to the caller).
[[nodiscard]] JsonNode* ListSwap(JsonNode* array, std::uint32_t index, JsonNode* child);

// ---- Objects ----
[[nodiscard]] inline std::uint32_t MemberCount(const JsonNode* node) {
  return node->kind == Kind::Object && node->value.table != nullptr ? node->value.table->count : 0;
}
[[nodiscard]] inline MemberEntry* Entries(MemberTable* table) {
  return reinterpret_cast<MemberEntry*>(table + 1);
}
[[nodiscard]] inline const MemberEntry& MemberAt(const JsonNode* node, std::uint32_t index) {
  return Entries(node->value.table)[index];
}
// Position of the member with this key, -1 when there is none.
[[nodiscard]] std::int32_t TableFind(const JsonNode* object, std::u16string_view key, std::uint32_t hash);
// Makes the node an Object when needed and stores the child (with the caller's reference) under key:
// a member of that key is replaced in place (and released), a new key goes last.
[[nodiscard]] bool ObjectSetMember(JsonNode* object, std::u16string_view key, std::uint32_t hash,
                                   JsonNode* child);
// Takes the member at position out of the table (order kept, key freed), clears its parent link when it
// points here and answers it; the table's reference passes to the caller.
[[nodiscard]] JsonNode* TableTakeAt(JsonNode* object, std::uint32_t position);
// Reorders the members; `order[i]` is the old position of the member that goes to position i.
void TablePermute(JsonNode* object, const std::vector<std::uint32_t>& order);
// Removes the node from its parent container (first occurrence) and drops the container's reference.
void DetachFromParent(JsonNode* node);

// Frees spare room at the end of a container's list (the parser calls it when a container closes).
void ShrinkContainer(JsonNode* node);

// ---- Typed reads ----
[[nodiscard]] bool BooleanValue(const JsonNode* node);
[[nodiscard]] double RealValue(const JsonNode* node);
[[nodiscard]] std::int64_t IntegerValue(const JsonNode* node);
[[nodiscard]] std::u16string_view StringValue(const JsonNode* node);
[[nodiscard]] WideText NodeSourceText(const JsonNode* node);
// The token of a Packed number into `out` (room for 32 units); answers its length.
std::size_t UnpackToken(const JsonNode* node, char16_t* out);

}  // namespace corvelle::detail
