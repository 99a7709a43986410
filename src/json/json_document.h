#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "json/node_kind.h"
#include "text/text_types.h"

// JsonDocument: a handle on a reference-counted tree of JSON values, read and written by path.
//
// Operations come in pairs. The plain member takes and answers `Text` (code page 936, whatever the
// locale); the member whose name ends in W takes and answers UTF-16 (`WideText`), used up to its first
// NUL unit. Inside the tree every text is UTF-16.
//
// A path names a node below the root: dotted member names with optional bracketed indexes, such as
// "list[0].server_filename"; an omitted or empty path is the root. A backslash before ".", "[", "]" or
// "\" makes that character part of the name. Every operation with a path except Exists/ExistsW resolves
// it with a find-or-create walk: members missing on the way are added as Null, arrays are padded with
// Null items up to an index, and a node of the wrong kind on the way becomes an Object or an Array.
// So reading "list[0].md5" from {"errno":0} leaves {"errno":0,"list":[{"md5":null}]} behind.
//
// Copying a document gives a second handle on the same tree (one more reference), never a copy of the
// tree; Clone, Append, SetItem and Merge are the operations that copy. Nothing throws; failure shows as
// false, 0, an empty text or an empty document.
//
// Reference counts are atomic, nothing else is synchronised: a tree must not be used from two threads at
// once.
namespace corvelle {

namespace detail {
struct JsonNode;
}

// An optional path: absent or empty means the root.
using JsonPath = std::optional<std::string_view>;
using JsonPathW = std::optional<std::u16string_view>;

class JsonDocument {
 public:
  // An empty document: no root.
  JsonDocument() noexcept = default;
  ~JsonDocument();
  JsonDocument(const JsonDocument& other) noexcept;
  JsonDocument& operator=(const JsonDocument& other) noexcept;
  JsonDocument(JsonDocument&& other) noexcept;
  JsonDocument& operator=(JsonDocument&& other) noexcept;

  // Gives the document a new empty Object root (other handles keep the old one); when `parse` is set,
  // parses `text` into it. True when the root was made and, if asked, the text parsed.
  [[nodiscard]] bool Load(std::string_view text, bool parse, std::optional<bool> decodeUnicode = {});
  [[nodiscard]] bool LoadW(std::u16string_view text, bool parse, std::optional<bool> decodeUnicode = {});
  // Drops the root; the document is empty afterwards.
  void Unload();
  // The root itself, no reference added; valid while this document keeps it.
  [[nodiscard]] detail::JsonNode* GetRootNode() const;
  // `node` becomes the root (one reference added); nullptr changes nothing.
  void AttachNode(detail::JsonNode* node);

  // Fresh free values, attached nowhere; this document is not changed.
  [[nodiscard]] JsonDocument NewObject() const;
  [[nodiscard]] JsonDocument NewArray() const;
  [[nodiscard]] JsonDocument NewNull() const;
  [[nodiscard]] JsonDocument NewBoolean(bool value) const;
  [[nodiscard]] JsonDocument NewStringW(std::u16string_view text) const;
  [[nodiscard]] JsonDocument NewString(std::string_view text) const;
  [[nodiscard]] JsonDocument NewReal(double value) const;
  [[nodiscard]] JsonDocument NewInteger(std::int64_t value) const;

  // Parses into the existing root (made as an empty Object when missing), so every handle sharing the
  // root sees the new content. False when the text does not parse; the root is then left empty. An empty
  // text succeeds and changes nothing. `decodeUnicode` (default false) decodes \u escapes.
  [[nodiscard]] bool ParseW(std::u16string_view text, std::optional<bool> decodeUnicode = {});
  [[nodiscard]] bool Parse(std::string_view text, std::optional<bool> decodeUnicode = {});

  // JSON text of the node at `path`: compact unless `pretty` (CR LF and tabs), strings escaped unless
  // `escapeStrings` is false. Empty when there is no node.
  [[nodiscard]] WideText ToTextW(JsonPathW path = {}, std::optional<bool> pretty = {},
                                 std::optional<bool> escapeStrings = {}) const;
  [[nodiscard]] Text ToText(JsonPath path = {}, std::optional<bool> pretty = {},
                            std::optional<bool> escapeStrings = {}) const;

  // NodeKind code of the node at path; -1 when there is none.
  [[nodiscard]] std::int32_t GetKind(JsonPath path = {}) const;
  [[nodiscard]] std::int32_t GetKindW(JsonPathW path = {}) const;
  // The Array or Object holding the node at path; empty when none.
  [[nodiscard]] JsonDocument GetParent(JsonPath path = {}) const;
  [[nodiscard]] JsonDocument GetParentW(JsonPathW path = {}) const;
  // Members of an Object, items of an Array; 0 otherwise.
  [[nodiscard]] std::int32_t GetCount(JsonPath path = {}) const;
  [[nodiscard]] std::int32_t GetCountW(JsonPathW path = {}) const;

  // Takes the root out of the container that holds it; the document keeps it.
  void Detach();

  // Removes a member of the Object at path (not converted when it is something else).
  [[nodiscard]] bool RemoveMemberW(JsonPathW path, std::u16string_view key);
  [[nodiscard]] bool RemoveMember(JsonPath path, std::string_view key);
  // Removes an item of the Array at path (not converted when it is something else).
  [[nodiscard]] bool RemoveItem(JsonPath path, std::int32_t index);
  [[nodiscard]] bool RemoveItemW(JsonPathW path, std::int32_t index);
  // Empties the node's value and keeps its kind: no members, no items, no text, a zero number.
  void EmptyValue(JsonPath path = {});
  void EmptyValueW(JsonPathW path = {});

  // The root of `value` itself becomes member `key` of the node at path (shared, not copied); the node
  // is made an Object when it is something else. False for an empty `value` and for a member that would
  // hold one of its own containers.
  [[nodiscard]] bool SetMember(JsonPath path, std::string_view key, const JsonDocument& value);
  [[nodiscard]] bool SetMemberW(JsonPathW path, std::u16string_view key, const JsonDocument& value);
  // Member `key` of the node at path, added as Null when missing (the node is made an Object).
  [[nodiscard]] JsonDocument GetMember(JsonPath path, std::string_view key) const;
  [[nodiscard]] JsonDocument GetMemberW(JsonPathW path, std::u16string_view key) const;
  // Appends a deep copy of the root of `value` to the node at path (made an Array when needed).
  [[nodiscard]] bool Append(JsonPath path, const JsonDocument& value);
  [[nodiscard]] bool AppendW(JsonPathW path, const JsonDocument& value);
  // Item `index` of the node at path (made an Array, padded with Nulls up to index); empty for index < 0.
  [[nodiscard]] JsonDocument GetItem(JsonPath path, std::int32_t index) const;
  [[nodiscard]] JsonDocument GetItemW(JsonPathW path, std::int32_t index) const;
  // Puts a deep copy of the root of `value` at `index` of the node at path, replacing the item there or
  // padding with Nulls up to it.
  [[nodiscard]] bool SetItem(JsonPath path, std::int32_t index, const JsonDocument& value);
  [[nodiscard]] bool SetItemW(JsonPathW path, std::int32_t index, const JsonDocument& value);

  // True when every step of `path` exists; creates nothing. The empty path gives false.
  [[nodiscard]] bool ExistsW(std::u16string_view path) const;
  [[nodiscard]] bool Exists(std::string_view path) const;
  // A handle sharing the node at path (the empty path is the root).
  [[nodiscard]] JsonDocument GetNode(std::string_view path) const;
  [[nodiscard]] JsonDocument GetNodeW(std::u16string_view path) const;

  // Scalar setters: the node at path keeps its identity and place and takes the new kind and value.
  // False when there is no node.
  [[nodiscard]] bool SetString(JsonPath path, std::string_view text);
  [[nodiscard]] bool SetStringW(JsonPathW path, std::u16string_view text);
  [[nodiscard]] bool SetNullW(JsonPathW path = {});
  [[nodiscard]] bool SetNull(JsonPath path = {});
  [[nodiscard]] bool SetBooleanW(JsonPathW path, bool value);
  [[nodiscard]] bool SetBoolean(JsonPath path, bool value);
  [[nodiscard]] bool SetRealW(JsonPathW path, double value);
  [[nodiscard]] bool SetReal(JsonPath path, double value);
  [[nodiscard]] bool SetIntegerW(JsonPathW path, std::int64_t value);
  [[nodiscard]] bool SetInteger(JsonPath path, std::int64_t value);

  // Text form of a scalar: "null", "true", "false", a number's token as parsed, a Raw token; empty for
  // String, Array, Object or no node.
  [[nodiscard]] Text GetSourceText(JsonPath path = {}) const;
  [[nodiscard]] WideText GetSourceTextW(JsonPathW path = {}) const;
  // A String's text; empty for any other kind.
  [[nodiscard]] Text GetString(JsonPath path = {}) const;
  [[nodiscard]] WideText GetStringW(JsonPathW path = {}) const;
  // True only for a Boolean holding true.
  [[nodiscard]] bool GetBooleanW(JsonPathW path = {}) const;
  [[nodiscard]] bool GetBoolean(JsonPath path = {}) const;
  // A Real; an Integer converted; 0 otherwise.
  [[nodiscard]] double GetRealW(JsonPathW path = {}) const;
  [[nodiscard]] double GetReal(JsonPath path = {}) const;
  // An Integer; a Real truncated toward zero (saturated, not-a-number gives 0); 0 otherwise.
  [[nodiscard]] std::int64_t GetIntegerW(JsonPathW path = {}) const;
  [[nodiscard]] std::int64_t GetInteger(JsonPath path = {}) const;
  // Member keys of an Object in member order and their count; for any other kind 0 and `keys` untouched.
  std::int32_t GetKeysW(JsonPathW path, std::vector<WideText>& keys) const;
  std::int32_t GetKeys(JsonPath path, std::vector<Text>& keys) const;
  // One shared handle per member or item, in order, and their count; 0 and `children` untouched when
  // there are none.
  std::int32_t GetChildrenW(JsonPathW path, std::vector<JsonDocument>& children) const;
  std::int32_t GetChildren(JsonPath path, std::vector<JsonDocument>& children) const;
  // A deep copy of the node at path, held by the answer only.
  [[nodiscard]] JsonDocument CloneW(JsonPathW path = {}) const;
  [[nodiscard]] JsonDocument Clone(JsonPath path = {}) const;

  // Reorders the members of the Object at path by key (case-sensitive collation). False when the node
  // is not an Object.
  [[nodiscard]] bool SortMembersW(JsonPathW path = {}, std::optional<bool> descending = {});
  [[nodiscard]] bool SortMembers(JsonPath path = {}, std::optional<bool> descending = {});
  // Parses `text` and merges its members into the root Object, recursing into Objects both sides have;
  // every other value replaces the target's member as a whole. Members missing in the target are added
  // only with `addMissing`. True when at least one member was merged and nothing failed.
  [[nodiscard]] bool MergeW(std::u16string_view text, std::optional<bool> decodeUnicode = {},
                            std::optional<bool> addMissing = {});
  [[nodiscard]] bool Merge(std::string_view text, std::optional<bool> decodeUnicode = {},
                           std::optional<bool> addMissing = {});

 private:
  // Holds `node` with the reference the caller hands over (no reference added).
  static JsonDocument Adopt(detail::JsonNode* node);
  // Holds `node` with one reference added; empty for nullptr.
  static JsonDocument Share(detail::JsonNode* node);

  detail::JsonNode* root = nullptr;
};

}  // namespace corvelle
