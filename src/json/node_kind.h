#pragma once

#include <cstdint>

namespace corvelle {

// The kind codes of JSON nodes, as GetKind/GetKindW answer them. A node keeps its kind in one byte.
enum class NodeKind : std::int8_t {
  Raw = -1,  // a token that is neither a literal nor a number, kept verbatim; also "no node"
  Null = 0,
  Real = 1,
  Integer = 2,
  Boolean = 3,
  String = 4,
  Array = 5,
  Object = 6,
};

}  // namespace corvelle
