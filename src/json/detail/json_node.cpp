#include "json/detail/json_node.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>

#include "json/detail/block_pool.h"
#include "json/detail/number_text.h"
#include "json/detail/packed_number.h"

namespace corvelle::detail {

namespace {

// Objects up to this many members are searched by a scan over their entries (hash compared first);
// larger ones get a hash index.
constexpr std::uint32_t kScanLimit = 8;

std::size_t TextBlockBytes(std::uint32_t length) {
  return sizeof(TextBlock) + length * sizeof(char16_t);
}
// Item lists and member tables share a layout: a count and a capacity, then the entries.
template <typename Header>
using EntryOf = std::conditional_t<std::is_same_v<Header, NodeList>, JsonNode*, MemberEntry>;

template <typename Header>
std::size_t EntryBlockBytes(std::uint32_t capacity) {
  return sizeof(Header) + capacity * sizeof(EntryOf<Header>);
}
std::size_t ListBytes(std::uint32_t capacity) {
  return EntryBlockBytes<NodeList>(capacity);
}
std::size_t TableBytes(std::uint32_t capacity) {
  return EntryBlockBytes<MemberTable>(capacity);
}

// A list or table with room for `capacity` entries, holding those of `block` (nullptr for none), which
// is freed; nullptr, with `block` left as it was, when memory runs out.
template <typename Header>
Header* ResizeEntryBlock(Header* block, std::uint32_t capacity) {
  auto* resized = static_cast<Header*>(PoolAlloc(EntryBlockBytes<Header>(capacity)));
  if (resized == nullptr) return nullptr;
  resized->count = block == nullptr ? 0 : block->count;
  resized->capacity = capacity;
  if (block != nullptr) {
    std::memcpy(static_cast<void*>(resized + 1), block + 1, block->count * sizeof(EntryOf<Header>));
    PoolFree(block, EntryBlockBytes<Header>(block->capacity));
  }
  return resized;
}

// Makes room for one more entry, doubling the capacity from `first`; false when memory runs out.
template <typename Header>
bool ReserveEntry(Header*& block, std::uint32_t first) {
  if (block != nullptr && block->count < block->capacity) return true;
  Header* grown = ResizeEntryBlock(block, block == nullptr ? first : block->capacity * 2);
  if (grown == nullptr) return false;
  block = grown;
  return true;
}

// A slot of the hash index: the key's hash beside the member's position, so that a probe compares
// hashes without touching the member table or the key.
struct IndexSlot {
  std::uint32_t hash;
  std::int32_t position;  // -1 for a free slot
};

std::size_t IndexBytes(std::uint32_t capacity) {
  return sizeof(KeyIndex) + capacity * sizeof(IndexSlot);
}

IndexSlot* Slots(KeyIndex* index) {
  return reinterpret_cast<IndexSlot*>(index + 1);
}
// The key hash is a plain polynomial, so keys that differ only in their last characters land close
// together; its bits are mixed before they pick a slot.
std::uint32_t SlotOf(std::uint32_t hash, std::uint32_t shift) {
  hash ^= hash >> 16;
  hash *= 0x85EBCA6Bu;
  hash ^= hash >> 13;
  hash *= 0xC2B2AE35u;
  hash ^= hash >> 16;
  return hash >> shift;
}

JsonNode* NewNode(Kind kind, Source source) {
  void* memory = PoolAlloc(sizeof(JsonNode));
  if (memory == nullptr) return nullptr;
  auto* node = new (memory) JsonNode;
  node->refCount.store(1, std::memory_order_relaxed);
  node->kind = kind;
  node->source = source;
  node->packedLength = 0;
  node->parent = nullptr;
  node->value.bits = 0;
  node->extra.bits = 0;
  return node;
}

void FreeNodeMemory(JsonNode* node) {
  node->~JsonNode();
  PoolFree(node, sizeof(JsonNode));
}

// Drops one reference; true when it was the last. The holder of the only reference is the only one who
// could change the count, so that case needs no atomic read-modify-write.
bool DropReference(JsonNode* node) {
  if (node->refCount.load(std::memory_order_acquire) == 1) return true;
  return node->refCount.fetch_sub(1, std::memory_order_acq_rel) == 1;
}

// The container lets go of one child: the parent link is cleared when it points here, and the child is
// queued for destruction when that was its last reference.
void LetGo(JsonNode* container, JsonNode* child, std::vector<JsonNode*>& doomed) {
  if (child->parent == container) child->parent = nullptr;
  if (!DropReference(child)) return;
  // Most children are scalars: they go at once; containers wait on the work list.
  if (child->kind == Kind::Array || child->kind == Kind::Object) {
    doomed.push_back(child);
    return;
  }
  if (child->kind == Kind::String) FreeTextBlock(child->value.text);
  if (child->source == Source::Block) FreeTextBlock(child->extra.sourceText);
  FreeNodeMemory(child);
}

void FreeIndex(JsonNode* object) {
  if (object->extra.index != nullptr)
    PoolFree(object->extra.index, IndexBytes(object->extra.index->capacity));
  object->extra.index = nullptr;
}

// Lets go of every child and frees the value and the source text; the node keeps its kind.
void LetGoOfValue(JsonNode* node, std::vector<JsonNode*>& doomed) {
  switch (node->kind) {
    case Kind::String:
      FreeTextBlock(node->value.text);
      break;
    case Kind::Array:
      if (NodeList* list = node->value.list) {
        JsonNode** items = Items(list);
        for (std::uint32_t i = 0; i < list->count; ++i) LetGo(node, items[i], doomed);
        PoolFree(list, ListBytes(list->capacity));
      }
      break;
    case Kind::Object:
      if (MemberTable* table = node->value.table) {
        MemberEntry* entries = Entries(table);
        for (std::uint32_t i = 0; i < table->count; ++i) {
          FreeTextBlock(entries[i].key);
          LetGo(node, entries[i].node, doomed);
        }
        PoolFree(table, TableBytes(table->capacity));
      }
      FreeIndex(node);
      break;
    default:
      break;
  }
  if (node->source == Source::Block) FreeTextBlock(node->extra.sourceText);
  node->value.bits = 0;
  node->extra.bits = 0;
  node->source = Source::None;
  node->packedLength = 0;
}

void DestroyDoomed(std::vector<JsonNode*>& doomed) {
  while (!doomed.empty()) {
    JsonNode* node = doomed.back();
    doomed.pop_back();
    LetGoOfValue(node, doomed);
    FreeNodeMemory(node);
  }
}

void IndexInsert(KeyIndex* index, std::uint32_t hash, std::int32_t position) {
  const std::uint32_t mask = index->capacity - 1;
  IndexSlot* slots = Slots(index);
  std::uint32_t slot = SlotOf(hash, index->shift);
  while (slots[slot].position >= 0) slot = (slot + 1) & mask;
  slots[slot] = IndexSlot{hash, position};
}

// (Re)builds the hash index of a table past the scan limit; without memory for it lookups fall back to
// the scan, which is slower but still right.
void RebuildIndex(JsonNode* object, bool positionsKept = false) {
  KeyIndex* old = object->extra.index;
  object->extra.index = nullptr;
  MemberTable* table = object->value.table;
  if (table == nullptr || table->count <= kScanLimit) {
    if (old != nullptr) PoolFree(old, IndexBytes(old->capacity));
    return;
  }
  std::uint32_t capacity = 32;
  std::uint32_t shift = 27;
  while (capacity < table->count * 2) {
    capacity *= 2;
    --shift;
  }
  auto* index = static_cast<KeyIndex*>(PoolAlloc(IndexBytes(capacity)));
  if (index != nullptr) {
    index->capacity = capacity;
    index->shift = shift;
    std::memset(static_cast<void*>(Slots(index)), 0xFF, capacity * sizeof(IndexSlot));
    if (old != nullptr && positionsKept) {
      // Growing: the old slots already hold the hash and position of every member they indexed.
      for (std::uint32_t i = 0; i < old->capacity; ++i) {
        if (Slots(old)[i].position >= 0) IndexInsert(index, Slots(old)[i].hash, Slots(old)[i].position);
      }
    } else {
      const MemberEntry* entries = Entries(table);
      for (std::uint32_t i = 0; i < table->count; ++i) {
        IndexInsert(index, entries[i].key->hash, static_cast<std::int32_t>(i));
      }
    }
  }
  if (old != nullptr) PoolFree(old, IndexBytes(old->capacity));
  object->extra.index = index;
}

// Decimal text of a value with at most 15 digits reads back exactly; such a token can be rebuilt from
// the value and need not be kept. Its value is read here too: below 2^53 integer steps and the
// reader's double steps agree.
bool ReadPlainInteger(std::u16string_view token, std::int64_t& value) {
  const bool negative = !token.empty() && token[0] == u'-';
  std::size_t i = negative ? 1 : 0;
  const std::size_t digits = token.size() - i;
  if (digits == 0 || digits > 15) return false;
  if (token[i] == u'0' && (digits > 1 || negative)) return false;
  std::int64_t magnitude = 0;
  for (; i < token.size(); ++i) {
    const unsigned digit = static_cast<unsigned>(token[i]) - u'0';
    if (digit > 9) return false;
    magnitude = magnitude * 10 + digit;
  }
  value = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace

TextBlock* NewTextBlock(std::u16string_view text, std::uint32_t hash) {
  const auto length = static_cast<std::uint32_t>(text.size());
  auto* block = static_cast<TextBlock*>(PoolAlloc(TextBlockBytes(length)));
  if (block == nullptr) return nullptr;
  block->length = length;
  block->hash = hash;
  if (length != 0) std::memcpy(block + 1, text.data(), length * sizeof(char16_t));
  return block;
}

void FreeTextBlock(TextBlock* block) {
  if (block != nullptr) PoolFree(block, TextBlockBytes(block->length));
}

std::uint32_t KeyHash(std::u16string_view key) {
  std::uint32_t h = 0;
  for (const char16_t c : key) h = h * 31u + c;
  return h * 31u;
}

JsonNode* NewObjectNode() {
  return NewNode(Kind::Object, Source::None);
}
JsonNode* NewArrayNode() {
  return NewNode(Kind::Array, Source::None);
}
JsonNode* NewNullNode() {
  return NewNode(Kind::Null, Source::Derived);
}

JsonNode* NewStringNode(std::u16string_view text) {
  JsonNode* node = NewNode(Kind::String, Source::None);
  if (node != nullptr && !text.empty()) {
    node->value.text = NewTextBlock(text);
    if (node->value.text == nullptr) {
      FreeNodeMemory(node);
      return nullptr;
    }
  }
  return node;
}

JsonNode* NewRealNode(double value) {
  JsonNode* node = NewNode(Kind::Real, Source::Derived);
  if (node != nullptr) node->value.real = value;
  return node;
}

JsonNode* NewIntegerNode(std::int64_t value) {
  JsonNode* node = NewNode(Kind::Integer, Source::Derived);
  if (node != nullptr) node->value.integer = value;
  return node;
}

JsonNode* NewBooleanNode(bool value) {
  JsonNode* node = NewNode(Kind::Boolean, Source::Derived);
  if (node != nullptr) node->value.integer = value ? 1 : 0;
  return node;
}

JsonNode* NewRawNode(std::u16string_view text) {
  JsonNode* node = NewNode(Kind::Raw, Source::Block);
  if (node != nullptr && !text.empty()) {
    node->extra.sourceText = NewTextBlock(text);
    if (node->extra.sourceText == nullptr) {
      FreeNodeMemory(node);
      return nullptr;
    }
  }
  return node;
}

JsonNode* NewPackedNumberNode(Kind kind, std::u16string_view token, const PackedToken& packed) {
  JsonNode* node = NewNode(kind, Source::Derived);
  if (node == nullptr) return nullptr;
  if (kind == Kind::Integer && ReadPlainInteger(token, node->value.integer)) return node;
  node->value.bits = packed.low;
  node->extra.bits = packed.high;
  node->packedLength = static_cast<std::uint16_t>(packed.length);
  node->source = Source::Packed;
  return node;
}

JsonNode* NewNumberNode(Kind kind, std::u16string_view token) {
  if (PackedToken packed; PackToken(token, packed)) return NewPackedNumberNode(kind, token, packed);
  // A long or unusual token: the value is read now and the token kept beside it.
  JsonNode* node = NewNode(kind, Source::Block);
  if (node == nullptr) return nullptr;
  node->extra.sourceText = NewTextBlock(token);
  if (node->extra.sourceText == nullptr) {
    FreeNodeMemory(node);
    return nullptr;
  }
  if (kind == Kind::Integer) {
    node->value.integer = ParseInteger(token);
  } else {
    node->value.real = ParseReal(token);
  }
  return node;
}

void AddRef(JsonNode* node) {
  node->refCount.fetch_add(1, std::memory_order_relaxed);
}

void Release(JsonNode* node) {
  if (node == nullptr || !DropReference(node)) return;
  // A node whose last reference goes is held by no container (each holds one), so there is nothing to
  // unlink from; its children are let go of without searching anything.
  std::vector<JsonNode*> doomed{node};
  DestroyDoomed(doomed);
}

void ClearNode(JsonNode* node) {
  std::vector<JsonNode*> doomed;
  LetGoOfValue(node, doomed);
  DestroyDoomed(doomed);
}

void EmptyNodeValue(JsonNode* node) {
  std::vector<JsonNode*> doomed;
  if (node->kind == Kind::Array && node->value.list != nullptr) {
    NodeList* list = node->value.list;
    for (std::uint32_t i = 0; i < list->count; ++i) LetGo(node, Items(list)[i], doomed);
    list->count = 0;
  } else if (node->kind == Kind::Object && node->value.table != nullptr) {
    MemberTable* table = node->value.table;
    MemberEntry* entries = Entries(table);
    for (std::uint32_t i = 0; i < table->count; ++i) {
      FreeTextBlock(entries[i].key);
      LetGo(node, entries[i].node, doomed);
    }
    table->count = 0;
    FreeIndex(node);
  } else {
    LetGoOfValue(node, doomed);
  }
  if (node->source == Source::Block) FreeTextBlock(node->extra.sourceText);
  if (node->kind != Kind::Array && node->kind != Kind::Object) {
    node->value.bits = 0;
    node->extra.bits = 0;
  }
  node->source = Source::None;
  node->packedLength = 0;
  DestroyDoomed(doomed);
}

void MakeArray(JsonNode* node) {
  if (node->kind == Kind::Array) return;
  ClearNode(node);
  node->kind = Kind::Array;
}

void MakeObject(JsonNode* node) {
  if (node->kind == Kind::Object) return;
  ClearNode(node);
  node->kind = Kind::Object;
}

void SetStringValue(JsonNode* node, std::u16string_view text) {
  // The copy is made first: the text may live in the node being cleared.
  TextBlock* block = text.empty() ? nullptr : NewTextBlock(text);
  ClearNode(node);
  node->kind = Kind::String;
  node->value.text = block;
}

void SetNullValue(JsonNode* node) {
  ClearNode(node);
  node->kind = Kind::Null;
  node->source = Source::Derived;
}

void SetBooleanValue(JsonNode* node, bool value) {
  ClearNode(node);
  node->kind = Kind::Boolean;
  node->value.integer = value ? 1 : 0;
  node->source = Source::Derived;
}

void SetRealValue(JsonNode* node, double value) {
  ClearNode(node);
  node->kind = Kind::Real;
  node->value.real = value;
  node->source = Source::Derived;
}

void SetIntegerValue(JsonNode* node, std::int64_t value) {
  ClearNode(node);
  node->kind = Kind::Integer;
  node->value.integer = value;
  node->source = Source::Derived;
}

bool ArrayAppendChild(JsonNode* array, JsonNode* child) {
  if (array == nullptr || child == nullptr) return false;
  MakeArray(array);
  if (!ReserveEntry(array->value.list, 2)) return false;
  child->parent = array;
  NodeList* list = array->value.list;
  Items(list)[list->count++] = child;
  return true;
}

JsonNode* ListTakeAt(JsonNode* array, std::uint32_t index) {
  NodeList* list = array->value.list;
  JsonNode** items = Items(list);
  JsonNode* item = items[index];
  std::memmove(items + index, items + index + 1, (list->count - index - 1) * sizeof(JsonNode*));
  --list->count;
  if (item->parent == array) item->parent = nullptr;
  return item;
}

JsonNode* ListSwap(JsonNode* array, std::uint32_t index, JsonNode* child) {
  JsonNode** items = Items(array->value.list);
  JsonNode* old = items[index];
  items[index] = child;
  if (old->parent == array) old->parent = nullptr;
  child->parent = array;
  return old;
}

std::int32_t TableFind(const JsonNode* object, std::u16string_view key, std::uint32_t hash) {
  if (object->kind != Kind::Object || object->value.table == nullptr) return -1;
  MemberTable* table = object->value.table;
  const MemberEntry* entries = Entries(table);
  const auto matches = [&](std::uint32_t i) {
    const TextBlock* k = entries[i].key;
    return k->hash == hash && k->length == key.size() &&
           std::memcmp(k + 1, key.data(), key.size() * sizeof(char16_t)) == 0;
  };
  if (KeyIndex* index = object->extra.index) {
    const std::uint32_t mask = index->capacity - 1;
    const IndexSlot* slots = Slots(index);
    for (std::uint32_t slot = SlotOf(hash, index->shift); slots[slot].position >= 0;
         slot = (slot + 1) & mask) {
      if (slots[slot].hash == hash && matches(static_cast<std::uint32_t>(slots[slot].position))) {
        return slots[slot].position;
      }
    }
    return -1;
  }
  for (std::uint32_t i = 0; i < table->count; ++i) {
    if (matches(i)) return static_cast<std::int32_t>(i);
  }
  return -1;
}

bool ObjectSetMember(JsonNode* object, std::u16string_view key, std::uint32_t hash, JsonNode* child) {
  if (object == nullptr || child == nullptr) return false;
  MakeObject(object);
  const std::int32_t found = TableFind(object, key, hash);
  if (found >= 0) {
    MemberEntry& entry = Entries(object->value.table)[found];
    JsonNode* old = entry.node;
    entry.node = child;
    if (old->parent == object && old != child) old->parent = nullptr;
    child->parent = object;
    Release(old);
    return true;
  }
  if (!ReserveEntry(object->value.table, 4)) return false;
  TextBlock* block = NewTextBlock(key, hash);
  if (block == nullptr) return false;
  MemberTable* table = object->value.table;
  const std::uint32_t position = table->count++;
  Entries(table)[position] = MemberEntry{block, child};
  child->parent = object;
  if (table->count > kScanLimit) {
    if (object->extra.index == nullptr) {
      RebuildIndex(object);  // from the entries, the new one included
    } else {
      if (table->count * 2 > object->extra.index->capacity) RebuildIndex(object, true);
      if (object->extra.index != nullptr)
        IndexInsert(object->extra.index, hash, static_cast<std::int32_t>(position));
    }
  }
  return true;
}

JsonNode* TableTakeAt(JsonNode* object, std::uint32_t position) {
  MemberTable* table = object->value.table;
  MemberEntry* entries = Entries(table);
  JsonNode* member = entries[position].node;
  FreeTextBlock(entries[position].key);
  std::memmove(entries + position, entries + position + 1,
               (table->count - position - 1) * sizeof(MemberEntry));
  --table->count;
  if (object->extra.index != nullptr) RebuildIndex(object);
  if (member->parent == object) member->parent = nullptr;
  return member;
}

void TablePermute(JsonNode* object, const std::vector<std::uint32_t>& order) {
  MemberTable* table = object->value.table;
  std::vector<MemberEntry> old(Entries(table), Entries(table) + table->count);
  for (std::size_t i = 0; i < order.size(); ++i) Entries(table)[i] = old[order[i]];
  if (object->extra.index != nullptr) RebuildIndex(object);
}

void DetachFromParent(JsonNode* node) {
  JsonNode* parent = node->parent;
  if (parent == nullptr) return;
  JsonNode* taken = nullptr;
  if (parent->kind == Kind::Array) {
    for (std::uint32_t i = 0; i < ItemCount(parent); ++i) {
      if (ItemAt(parent, i) == node) {
        taken = ListTakeAt(parent, i);
        break;
      }
    }
  } else if (parent->kind == Kind::Object) {
    for (std::uint32_t i = 0; i < MemberCount(parent); ++i) {
      if (MemberAt(parent, i).node == node) {
        taken = TableTakeAt(parent, i);
        break;
      }
    }
  }
  node->parent = nullptr;
  if (taken != nullptr) Release(taken);
}

void ShrinkContainer(JsonNode* node) {
  if (node->kind == Kind::Array && node->value.list != nullptr) {
    NodeList* list = node->value.list;
    // Only a block whose memory goes back at once is worth trading for a smaller one.
    if (list->count == list->capacity || !PoolFreeReturnsMemory(ListBytes(list->capacity))) return;
    if (list->count == 0) {
      PoolFree(list, ListBytes(list->capacity));
      node->value.list = nullptr;
      return;
    }
    if (NodeList* fitted = ResizeEntryBlock(list, list->count)) node->value.list = fitted;
  } else if (node->kind == Kind::Object && node->value.table != nullptr) {
    MemberTable* table = node->value.table;
    if (table->count == table->capacity || table->count == 0 ||
        !PoolFreeReturnsMemory(TableBytes(table->capacity))) {
      return;
    }
    if (MemberTable* fitted = ResizeEntryBlock(table, table->count)) node->value.table = fitted;
  }
}

std::size_t UnpackToken(const JsonNode* node, char16_t* out) {
  return UnpackToken(node->value.bits, node->extra.bits, node->packedLength, out);
}

bool BooleanValue(const JsonNode* node) {
  return node != nullptr && node->kind == Kind::Boolean && node->value.integer != 0;
}

double RealValue(const JsonNode* node) {
  if (node == nullptr) return 0;
  if (node->kind == Kind::Real) {
    if (node->source != Source::Packed) return node->value.real;
    char16_t token[32];
    return ParseReal(std::u16string_view(token, UnpackToken(node, token)));
  }
  if (node->kind == Kind::Integer) return static_cast<double>(IntegerValue(node));
  return 0;
}

std::int64_t IntegerValue(const JsonNode* node) {
  if (node == nullptr) return 0;
  if (node->kind == Kind::Integer) {
    if (node->source != Source::Packed) return node->value.integer;
    char16_t token[32];
    return ParseInteger(std::u16string_view(token, UnpackToken(node, token)));
  }
  if (node->kind == Kind::Real) return TruncateToInteger(RealValue(node));
  return 0;
}

std::u16string_view StringValue(const JsonNode* node) {
  return node != nullptr && node->kind == Kind::String ? View(node->value.text) : std::u16string_view();
}

WideText NodeSourceText(const JsonNode* node) {
  if (node == nullptr) return {};
  switch (node->source) {
    case Source::None:
      return {};
    case Source::Block:
      return WideText(View(node->extra.sourceText));
    case Source::Packed: {
      char16_t token[32];
      return WideText(token, UnpackToken(node, token));
    }
    case Source::Derived:
      break;
  }
  char digits[32];
  std::size_t length = 0;
  switch (node->kind) {
    case Kind::Null:
      return u"null";
    case Kind::Boolean:
      return node->value.integer != 0 ? u"true" : u"false";
    case Kind::Integer:
      length = FormatInteger(node->value.integer, digits);
      break;
    case Kind::Real:
      length = FormatReal(node->value.real, digits);
      break;
    default:
      return {};
  }
  return WideText(digits, digits + length);
}

}  // namespace corvelle::detail
