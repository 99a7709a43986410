#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The header lines a request carries, in the order the caller added them, with the add / replace /
// add-if-new / coalesce rules of HttpAddRequestHeaders. Names compare without regard to ASCII case.
namespace corvelle::platform::detail {

struct HeaderField {
  std::string name;
  std::string value;
};

class RequestHeaders {
 public:
  // Applies each CRLF-separated "Name:value" line of `lines` with `flags` (the kAddHeader* bits).
  // Answers 0, or the error code of the first line that could not be applied; the other lines are
  // still applied.
  [[nodiscard]] std::uint32_t Apply(std::string_view lines, std::uint32_t flags);

  [[nodiscard]] bool Has(std::string_view name) const;
  // Removes every header of that name.
  void Remove(std::string_view name);
  [[nodiscard]] const std::vector<HeaderField>& Fields() const { return fields_; }

 private:
  std::uint32_t ApplyLine(std::string_view line, std::uint32_t flags);

  std::vector<HeaderField> fields_;
};

[[nodiscard]] bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace corvelle::platform::detail
