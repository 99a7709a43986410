#include "json/json_document.h"

#include <memory>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "json/detail/json_node.h"
#include "json/detail/json_parser.h"
#include "json/detail/json_path.h"
#include "json/detail/json_writer.h"
#include "json/detail/tree_ops.h"
#include "text/encoding.h"

namespace corvelle {

using detail::JsonNode;
using detail::Kind;

namespace {

// A W argument counts up to its first NUL unit. Texts can be megabytes long, so the search looks at
// eight units at a time.
std::u16string_view UpToNul(std::u16string_view text) {
  const char16_t* data = text.data();
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 8 <= text.size(); i += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(units, zero)) != 0) break;
  }
#endif
  for (; i < text.size(); ++i) {
    if (data[i] == u'\0') return text.substr(0, i);
  }
  return text;
}

WideText WidePath(const JsonPath& path) {
  return path ? TextToUtf16(*path) : WideText();
}
std::u16string_view WidePath(const JsonPathW& path) {
  return path ? UpToNul(*path) : std::u16string_view();
}

// Parses all of `text`, which holds no NUL unit, into `node`; 0 or the parser's negative code.
int ParseUnits(JsonNode* node, std::u16string_view text, std::optional<bool> decodeUnicode) {
  static constexpr char16_t kEmpty[] = u"";
  return detail::ParseJsonText(node, text.data() == nullptr ? kEmpty : text.data(), text.size(),
                               decodeUnicode.value_or(false));
}

// Parses `text` up to its first NUL unit into `node`; 0 or the parser's negative code.
int ParseInto(JsonNode* node, std::u16string_view text, std::optional<bool> decodeUnicode) {
  return ParseUnits(node, UpToNul(text), decodeUnicode);
}

}  // namespace

// ---- Handles ----

JsonDocument::~JsonDocument() {
  detail::Release(root);
}

JsonDocument::JsonDocument(const JsonDocument& other) noexcept : root(other.root) {
  if (root != nullptr) detail::AddRef(root);
}

JsonDocument& JsonDocument::operator=(const JsonDocument& other) noexcept {
  if (other.root != nullptr) detail::AddRef(other.root);
  detail::Release(root);
  root = other.root;
  return *this;
}

JsonDocument::JsonDocument(JsonDocument&& other) noexcept : root(std::exchange(other.root, nullptr)) {}

JsonDocument& JsonDocument::operator=(JsonDocument&& other) noexcept {
  if (this != &other) {
    detail::Release(root);
    root = std::exchange(other.root, nullptr);
  }
  return *this;
}

JsonDocument JsonDocument::Adopt(JsonNode* node) {
  JsonDocument document;
  document.root = node;
  return document;
}

JsonDocument JsonDocument::Share(JsonNode* node) {
  JsonDocument document;
  document.AttachNode(node);
  return document;
}

// ---- Loading ----

bool JsonDocument::Load(std::string_view text, bool parse, std::optional<bool> decodeUnicode) {
  return LoadW(parse ? TextToUtf16(text) : WideText(), parse, decodeUnicode);
}

bool JsonDocument::LoadW(std::u16string_view text, bool parse, std::optional<bool> decodeUnicode) {
  JsonNode* fresh = detail::NewObjectNode();
  if (fresh == nullptr) return false;
  detail::Release(root);
  root = fresh;
  return !parse || ParseInto(root, text, decodeUnicode) == 0;
}

void JsonDocument::Unload() {
  detail::Release(root);
  root = nullptr;
}

JsonNode* JsonDocument::GetRootNode() const {
  return root;
}

void JsonDocument::AttachNode(JsonNode* node) {
  if (node == nullptr) return;
  detail::AddRef(node);
  detail::Release(root);
  root = node;
}

// ---- New values ----

JsonDocument JsonDocument::NewObject() const {
  return Adopt(detail::NewObjectNode());
}
JsonDocument JsonDocument::NewArray() const {
  return Adopt(detail::NewArrayNode());
}
JsonDocument JsonDocument::NewNull() const {
  return Adopt(detail::NewNullNode());
}
JsonDocument JsonDocument::NewBoolean(bool value) const {
  return Adopt(detail::NewBooleanNode(value));
}
JsonDocument JsonDocument::NewStringW(std::u16string_view text) const {
  return Adopt(detail::NewStringNode(UpToNul(text)));
}
JsonDocument JsonDocument::NewString(std::string_view text) const {
  return NewStringW(TextToUtf16(text));
}
JsonDocument JsonDocument::NewReal(double value) const {
  return Adopt(detail::NewRealNode(value));
}
JsonDocument JsonDocument::NewInteger(std::int64_t value) const {
  return Adopt(detail::NewIntegerNode(value));
}

// ---- Parsing and writing ----

bool JsonDocument::ParseW(std::u16string_view text, std::optional<bool> decodeUnicode) {
  if (root == nullptr) root = detail::NewObjectNode();
  return ParseInto(root, text, decodeUnicode) == 0;
}

bool JsonDocument::Parse(std::string_view text, std::optional<bool> decodeUnicode) {
  // The conversion stops at the first NUL byte and makes no NUL unit of anything else, so the search
  // for one that ParseW does would find none. The units go to a buffer nothing fills in beforehand.
  const auto units = std::make_unique_for_overwrite<char16_t[]>(text.size());
  const std::u16string_view wide(units.get(), TextToUtf16Units(text, units.get()));
  if (root == nullptr) root = detail::NewObjectNode();
  return ParseUnits(root, wide, decodeUnicode) == 0;
}

WideText JsonDocument::ToTextW(JsonPathW path, std::optional<bool> pretty,
                               std::optional<bool> escapeStrings) const {
  const JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  return detail::WriteJsonText(node, pretty.value_or(false), escapeStrings.value_or(true));
}

Text JsonDocument::ToText(JsonPath path, std::optional<bool> pretty,
                          std::optional<bool> escapeStrings) const {
  const JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  return detail::WriteJsonTextAsText(node, pretty.value_or(false), escapeStrings.value_or(true));
}

// ---- Reads ----

std::int32_t JsonDocument::GetKind(JsonPath path) const {
  return GetKindW(std::u16string_view(WidePath(path)));
}
std::int32_t JsonDocument::GetKindW(JsonPathW path) const {
  const JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  return node == nullptr ? -1 : static_cast<std::int32_t>(node->kind);
}

JsonDocument JsonDocument::GetParent(JsonPath path) const {
  return GetParentW(std::u16string_view(WidePath(path)));
}
JsonDocument JsonDocument::GetParentW(JsonPathW path) const {
  const JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  return Share(node == nullptr ? nullptr : node->parent);
}

std::int32_t JsonDocument::GetCount(JsonPath path) const {
  return GetCountW(std::u16string_view(WidePath(path)));
}
std::int32_t JsonDocument::GetCountW(JsonPathW path) const {
  const JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  if (node == nullptr) return 0;
  return static_cast<std::int32_t>(node->kind == Kind::Array ? detail::ItemCount(node)
                                                             : detail::MemberCount(node));
}

void JsonDocument::Detach() {
  if (root != nullptr) detail::DetachFromParent(root);
}

// ---- Container edits ----

bool JsonDocument::RemoveMemberW(JsonPathW path, std::u16string_view key) {
  JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  if (node == nullptr || node->kind != Kind::Object) return false;
  key = UpToNul(key);
  const std::int32_t found = detail::TableFind(node, key, detail::KeyHash(key));
  if (found < 0) return false;
  detail::Release(detail::TableTakeAt(node, static_cast<std::uint32_t>(found)));
  return true;
}

bool JsonDocument::RemoveMember(JsonPath path, std::string_view key) {
  return RemoveMemberW(std::u16string_view(WidePath(path)), TextToUtf16(key));
}

bool JsonDocument::RemoveItem(JsonPath path, std::int32_t index) {
  return RemoveItemW(std::u16string_view(WidePath(path)), index);
}

bool JsonDocument::RemoveItemW(JsonPathW path, std::int32_t index) {
  JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  if (node == nullptr || node->kind != Kind::Array) return false;
  if (index < 0 || static_cast<std::uint32_t>(index) >= detail::ItemCount(node)) return false;
  detail::Release(detail::ListTakeAt(node, static_cast<std::uint32_t>(index)));
  return true;
}

void JsonDocument::EmptyValue(JsonPath path) {
  EmptyValueW(std::u16string_view(WidePath(path)));
}
void JsonDocument::EmptyValueW(JsonPathW path) {
  JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  if (node != nullptr) detail::EmptyNodeValue(node);
}

bool JsonDocument::SetMember(JsonPath path, std::string_view key, const JsonDocument& value) {
  return SetMemberW(std::u16string_view(WidePath(path)), TextToUtf16(key), value);
}

bool JsonDocument::SetMemberW(JsonPathW path, std::u16string_view key, const JsonDocument& value) {
  JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  JsonNode* member = value.root;
  // A container may not become a member of itself or of anything below it: the tree would hold itself
  // and could never be written, copied or freed.
  if (node == nullptr || member == nullptr || detail::Contains(member, node)) return false;
  detail::AddRef(member);
  key = UpToNul(key);
  if (!detail::ObjectSetMember(node, key, detail::KeyHash(key), member)) {
    detail::Release(member);
    return false;
  }
  return true;
}

JsonDocument JsonDocument::GetMember(JsonPath path, std::string_view key) const {
  return GetMemberW(std::u16string_view(WidePath(path)), TextToUtf16(key));
}

JsonDocument JsonDocument::GetMemberW(JsonPathW path, std::u16string_view key) const {
  JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  return Share(detail::MemberOf(node, UpToNul(key)));
}

bool JsonDocument::Append(JsonPath path, const JsonDocument& value) {
  return AppendW(std::u16string_view(WidePath(path)), value);
}

bool JsonDocument::AppendW(JsonPathW path, const JsonDocument& value) {
  JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  if (node == nullptr) return false;
  JsonNode* copy = detail::DeepCopy(value.root);
  if (copy == nullptr) return false;
  if (!detail::ArrayAppendChild(node, copy)) {
    detail::Release(copy);
    return false;
  }
  return true;
}

JsonDocument JsonDocument::GetItem(JsonPath path, std::int32_t index) const {
  return GetItemW(std::u16string_view(WidePath(path)), index);
}

JsonDocument JsonDocument::GetItemW(JsonPathW path, std::int32_t index) const {
  JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  return Share(detail::ItemOf(node, index));
}

bool JsonDocument::SetItem(JsonPath path, std::int32_t index, const JsonDocument& value) {
  return SetItemW(std::u16string_view(WidePath(path)), index, value);
}

bool JsonDocument::SetItemW(JsonPathW path, std::int32_t index, const JsonDocument& value) {
  JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  if (node == nullptr) return false;
  JsonNode* copy = detail::DeepCopy(value.root);
  if (copy == nullptr) return false;
  detail::MakeArray(node);
  const std::uint32_t count = detail::ItemCount(node);
  bool stored = false;
  if (index >= 0 && static_cast<std::uint32_t>(index) < count) {
    // The copy takes the old item's place; the old item leaves the Array whoever else still holds it.
    detail::Release(detail::ListSwap(node, static_cast<std::uint32_t>(index), copy));
    return true;
  }
  if (index >= 0) {
    stored =
        detail::PadItems(node, static_cast<std::uint32_t>(index)) && detail::ArrayAppendChild(node, copy);
  }
  if (!stored) detail::Release(copy);
  return stored;
}

bool JsonDocument::ExistsW(std::u16string_view path) const {
  return detail::PathExists(root, UpToNul(path));
}
bool JsonDocument::Exists(std::string_view path) const {
  return ExistsW(TextToUtf16(path));
}

JsonDocument JsonDocument::GetNode(std::string_view path) const {
  return GetNodeW(TextToUtf16(path));
}
JsonDocument JsonDocument::GetNodeW(std::u16string_view path) const {
  return Share(root == nullptr ? nullptr : detail::ResolvePath(root, UpToNul(path)));
}

// ---- Scalar setters ----

namespace {

// Resolves the path and applies `set` to the node found; false when there is none.
template <typename Setter>
bool SetAt(JsonNode* root, std::u16string_view path, Setter set) {
  JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, path);
  if (node == nullptr) return false;
  set(node);
  return true;
}

}  // namespace

bool JsonDocument::SetString(JsonPath path, std::string_view text) {
  return SetStringW(std::u16string_view(WidePath(path)), TextToUtf16(text));
}
bool JsonDocument::SetStringW(JsonPathW path, std::u16string_view text) {
  return SetAt(root, WidePath(path), [&](JsonNode* node) { detail::SetStringValue(node, UpToNul(text)); });
}
bool JsonDocument::SetNullW(JsonPathW path) {
  return SetAt(root, WidePath(path), [](JsonNode* node) { detail::SetNullValue(node); });
}
bool JsonDocument::SetNull(JsonPath path) {
  return SetNullW(std::u16string_view(WidePath(path)));
}
bool JsonDocument::SetBooleanW(JsonPathW path, bool value) {
  return SetAt(root, WidePath(path), [&](JsonNode* node) { detail::SetBooleanValue(node, value); });
}
bool JsonDocument::SetBoolean(JsonPath path, bool value) {
  return SetBooleanW(std::u16string_view(WidePath(path)), value);
}
bool JsonDocument::SetRealW(JsonPathW path, double value) {
  return SetAt(root, WidePath(path), [&](JsonNode* node) { detail::SetRealValue(node, value); });
}
bool JsonDocument::SetReal(JsonPath path, double value) {
  return SetRealW(std::u16string_view(WidePath(path)), value);
}
bool JsonDocument::SetIntegerW(JsonPathW path, std::int64_t value) {
  return SetAt(root, WidePath(path), [&](JsonNode* node) { detail::SetIntegerValue(node, value); });
}
bool JsonDocument::SetInteger(JsonPath path, std::int64_t value) {
  return SetIntegerW(std::u16string_view(WidePath(path)), value);
}

// ---- Typed reads ----

Text JsonDocument::GetSourceText(JsonPath path) const {
  return Utf16ToText(GetSourceTextW(std::u16string_view(WidePath(path))));
}
WideText JsonDocument::GetSourceTextW(JsonPathW path) const {
  return detail::NodeSourceText(root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path)));
}
Text JsonDocument::GetString(JsonPath path) const {
  const JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  return Utf16ToText(detail::StringValue(node));
}
WideText JsonDocument::GetStringW(JsonPathW path) const {
  const JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  return WideText(detail::StringValue(node));
}
bool JsonDocument::GetBooleanW(JsonPathW path) const {
  return detail::BooleanValue(root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path)));
}
bool JsonDocument::GetBoolean(JsonPath path) const {
  return GetBooleanW(std::u16string_view(WidePath(path)));
}
double JsonDocument::GetRealW(JsonPathW path) const {
  return detail::RealValue(root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path)));
}
double JsonDocument::GetReal(JsonPath path) const {
  return GetRealW(std::u16string_view(WidePath(path)));
}
std::int64_t JsonDocument::GetIntegerW(JsonPathW path) const {
  return detail::IntegerValue(root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path)));
}
std::int64_t JsonDocument::GetInteger(JsonPath path) const {
  return GetIntegerW(std::u16string_view(WidePath(path)));
}

namespace {

// The member keys of the Object at path, each through `convert`, in member order; 0 and `keys`
// untouched when the node is not an Object.
template <typename Key, typename Convert>
std::int32_t CollectKeys(JsonNode* root, std::u16string_view path, std::vector<Key>& keys, Convert convert) {
  const JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, path);
  if (node == nullptr || node->kind != Kind::Object) return 0;
  std::vector<Key> result;
  result.reserve(detail::MemberCount(node));
  for (std::uint32_t i = 0; i < detail::MemberCount(node); ++i) {
    result.push_back(convert(detail::View(detail::MemberAt(node, i).key)));
  }
  keys = std::move(result);
  return static_cast<std::int32_t>(keys.size());
}

}  // namespace

std::int32_t JsonDocument::GetKeysW(JsonPathW path, std::vector<WideText>& keys) const {
  return CollectKeys(root, WidePath(path), keys, [](std::u16string_view key) { return WideText(key); });
}

std::int32_t JsonDocument::GetKeys(JsonPath path, std::vector<Text>& keys) const {
  return CollectKeys(root, WidePath(path), keys, [](std::u16string_view key) { return Utf16ToText(key); });
}

std::int32_t JsonDocument::GetChildrenW(JsonPathW path, std::vector<JsonDocument>& children) const {
  const JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  if (node == nullptr) return 0;
  const bool isArray = node->kind == Kind::Array;
  const std::uint32_t count = isArray ? detail::ItemCount(node) : detail::MemberCount(node);
  if (count == 0) return 0;
  std::vector<JsonDocument> result;
  result.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    result.push_back(Share(isArray ? detail::ItemAt(node, i) : detail::MemberAt(node, i).node));
  }
  children = std::move(result);
  return static_cast<std::int32_t>(count);
}

std::int32_t JsonDocument::GetChildren(JsonPath path, std::vector<JsonDocument>& children) const {
  return GetChildrenW(std::u16string_view(WidePath(path)), children);
}

JsonDocument JsonDocument::CloneW(JsonPathW path) const {
  return Adopt(detail::DeepCopy(root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path))));
}
JsonDocument JsonDocument::Clone(JsonPath path) const {
  return CloneW(std::u16string_view(WidePath(path)));
}

// ---- Sorting and merging ----

bool JsonDocument::SortMembersW(JsonPathW path, std::optional<bool> descending) {
  JsonNode* node = root == nullptr ? nullptr : detail::ResolvePath(root, WidePath(path));
  if (node == nullptr || node->kind != Kind::Object) return false;
  detail::SortMembers(node, descending.value_or(false));
  return true;
}

bool JsonDocument::SortMembers(JsonPath path, std::optional<bool> descending) {
  return SortMembersW(std::u16string_view(WidePath(path)), descending);
}

bool JsonDocument::MergeW(std::u16string_view text, std::optional<bool> decodeUnicode,
                          std::optional<bool> addMissing) {
  if (root == nullptr) return false;
  JsonNode* source = detail::NewObjectNode();
  if (source == nullptr) return false;
  if (ParseInto(source, text, decodeUnicode) != 0) {
    detail::Release(source);
    return false;
  }
  bool attached = false;
  const bool merged = detail::MergeTrees(root, source, addMissing.value_or(false), attached);
  if (!attached) detail::Release(source);
  return merged;
}

bool JsonDocument::Merge(std::string_view text, std::optional<bool> decodeUnicode,
                         std::optional<bool> addMissing) {
  return MergeW(TextToUtf16(text), decodeUnicode, addMissing);
}

}  // namespace corvelle
