#include "platform/detail/response_head.h"

#include <algorithm>

#include "platform/detail/request_headers.h"

namespace corvelle::platform::detail {

StatusLine ParseStatusLine(std::string_view head) {
  const std::string_view line = head.substr(0, head.find("\r\n"));
  StatusLine status;
  const auto space = line.find(' ');
  if (space == std::string_view::npos) {
    return status;
  }
  const std::string_view rest = line.substr(space + 1);
  const auto codeEnd = std::min(rest.find(' '), rest.size());
  status.code = std::string(rest.substr(0, codeEnd));
  if (codeEnd < rest.size()) {
    status.text = std::string(rest.substr(codeEnd + 1));
  }
  return status;
}

std::vector<std::string_view> HeaderValues(std::string_view head, std::string_view name) {
  std::vector<std::string_view> values;
  std::size_t lineEnd = head.find("\r\n");  // the status line is never a header
  while (lineEnd != std::string_view::npos) {
    const std::size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    const std::string_view line =
        head.substr(start, lineEnd == std::string_view::npos ? lineEnd : lineEnd - start);
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || !EqualsNoCase(line.substr(0, colon), name)) {
      continue;
    }
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
      value.remove_prefix(1);
    }
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
      value.remove_suffix(1);
    }
    values.push_back(value);
  }
  return values;
}

std::string HeaderValue(std::string_view head, std::string_view name) {
  const auto values = HeaderValues(head, name);
  return values.empty() ? std::string() : std::string(values.front());
}

}  // namespace corvelle::platform::detail
