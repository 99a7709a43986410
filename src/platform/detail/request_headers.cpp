#include "platform/detail/request_headers.h"

#include <algorithm>

#include "platform/detail/blank_trim.h"
#include "platform/http_api.h"

namespace corvelle::platform::detail {
namespace {

bool IsTokenChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte > 0x20 && byte < 0x7F && c != ':';
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) {
             return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
           };
           return lower(x) == lower(y);
         });
}

std::uint32_t RequestHeaders::Apply(std::string_view lines, std::uint32_t flags) {
  std::uint32_t firstError = 0;
  bool anyLine = false;
  while (!lines.empty()) {
    const auto end = std::min(lines.find('\n'), lines.size());
    std::string_view line = lines.substr(0, end);
    lines.remove_prefix(std::min(end + 1, lines.size()));
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (TrimBlanks(line).empty()) {
      continue;
    }
    anyLine = true;
    const std::uint32_t error = ApplyLine(line, flags);
    if (firstError == 0) {
      firstError = error;
    }
  }
  return anyLine ? firstError : kErrorInvalidParameter;
}

std::uint32_t RequestHeaders::ApplyLine(std::string_view line, std::uint32_t flags) {
  const auto colon = line.find(':');
  if (colon == std::string_view::npos) {
    return kErrorInvalidParameter;
  }
  const std::string_view name = TrimBlanks(line.substr(0, colon));
  const std::string_view value = TrimBlanks(line.substr(colon + 1));
  if (name.empty() || !std::all_of(name.begin(), name.end(), IsTokenChar)) {
    return kErrorInvalidParameter;
  }
  const auto first = std::find_if(fields_.begin(), fields_.end(), [name](const HeaderField& field) {
    return EqualsNoCase(field.name, name);
  });
  const bool exists = first != fields_.end();
  if ((flags & kAddHeaderReplace) != 0) {
    if (!exists) {
      if ((flags & kAddHeaderAdd) == 0) {
        return kErrorHeaderNotFound;
      }
      fields_.push_back({std::string(name), std::string(value)});
      return 0;
    }
    if (value.empty()) {
      Remove(name);
      return 0;
    }
    first->value = std::string(value);
    const auto firstIndex = first - fields_.begin();
    const auto later =
        std::remove_if(fields_.begin() + firstIndex + 1, fields_.end(),
                       [name](const HeaderField& field) { return EqualsNoCase(field.name, name); });
    fields_.erase(later, fields_.end());
    return 0;
  }
  if ((flags & kAddHeaderAddIfNew) != 0) {
    if (exists) {
      return kErrorHeaderAlreadyExists;
    }
  } else if ((flags & kAddHeaderCoalesce) != 0 && exists) {
    first->value += ", ";
    first->value += value;
    return 0;
  }
  fields_.push_back({std::string(name), std::string(value)});
  return 0;
}

bool RequestHeaders::Has(std::string_view name) const {
  return std::any_of(fields_.begin(), fields_.end(),
                     [name](const HeaderField& field) { return EqualsNoCase(field.name, name); });
}

void RequestHeaders::Remove(std::string_view name) {
  std::erase_if(fields_, [name](const HeaderField& field) { return EqualsNoCase(field.name, name); });
}

}  // namespace corvelle::platform::detail
