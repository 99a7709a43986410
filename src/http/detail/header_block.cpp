#include "http/detail/header_block.h"

#include "text/text_ops.h"

namespace corvelle::detail {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && ToLowerAscii(text.substr(0, prefix.size())) == ToLowerAscii(prefix);
}

std::vector<std::string_view> HeaderValues(std::string_view block, std::string_view name, std::size_t limit) {
  std::vector<std::string_view> values;
  // Code-page-936 trail bytes never take the values of CR or LF, so a plain byte search finds line ends.
  std::size_t lineStart = block.find(kLineEnd);
  while (lineStart != std::string_view::npos && values.size() < limit) {
    lineStart += kLineEnd.size();
    const std::size_t lineEnd = block.find(kLineEnd, lineStart);
    if (lineEnd == std::string_view::npos) break;
    const std::string_view line = block.substr(lineStart, lineEnd - lineStart);
    const std::size_t colon = line.find(':');
    if (colon == name.size() && StartsWithIgnoringCase(line, name)) values.push_back(line.substr(colon + 1));
    lineStart = lineEnd;
  }
  return values;
}

std::optional<std::string_view> FirstHeaderValue(std::string_view block, std::string_view name) {
  const std::vector<std::string_view> values = HeaderValues(block, name, 1);
  if (values.empty()) return std::nullopt;
  return values.front();
}

}  // namespace corvelle::detail
