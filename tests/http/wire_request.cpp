#include "http/wire_request.h"

#include <algorithm>
#include <cctype>

namespace corvelle::testing {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::optional<std::string> WireRequest::Header(std::string_view name) const {
  for (const auto& [headerName, value] : headers) {
    if (SameName(headerName, name)) return value;
  }
  return std::nullopt;
}

int WireRequest::Count(std::string_view name) const {
  return static_cast<int>(std::count_if(headers.begin(), headers.end(),
                                        [name](const auto& header) { return SameName(header.first, name); }));
}

WireRequest ParseWireRequest(std::string_view raw) {
  WireRequest request;
  const std::size_t headEnd = raw.find("\r\n\r\n");
  const std::string_view head = raw.substr(0, headEnd);
  if (headEnd != std::string_view::npos) request.body = std::string(raw.substr(headEnd + 4));
  std::size_t lineStart = 0;
  bool first = true;
  while (lineStart <= head.size()) {
    std::size_t lineEnd = head.find("\r\n", lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = head.size();
    const std::string_view line = head.substr(lineStart, lineEnd - lineStart);
    if (first) {
      const std::size_t space = line.find(' ');
      request.method = std::string(line.substr(0, space));
      if (space != std::string_view::npos) {
        const std::size_t targetEnd = line.find(' ', space + 1);
        request.target = std::string(line.substr(space + 1, targetEnd - space - 1));
      }
      first = false;
    } else if (const std::size_t colon = line.find(':'); colon != std::string_view::npos) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      request.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
    lineStart = lineEnd + 2;
  }
  return request;
}

RawServer::Script Serve(std::function<std::string(const WireRequest&)> route) {
  return [route = std::move(route)](RawConnection& connection) {
    std::string request;
    while (connection.ReadRequest(request)) {
      if (!connection.Send(route(ParseWireRequest(request)))) return;
    }
  };
}

}  // namespace corvelle::testing
