#include "platform/detail/url_parts.h"

#include <algorithm>
#include <charconv>

namespace corvelle::platform::detail {
namespace {

template <typename Char>
bool EqualsAsciiNoCase(std::basic_string_view<Char> text, std::string_view lowerAscii) {
  if (text.size() != lowerAscii.size()) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    Char c = text[i];
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<Char>(c - 'A' + 'a');
    }
    if (c != static_cast<Char>(lowerAscii[i])) {
      return false;
    }
  }
  return true;
}

template <typename Char>
CrackResult Split(std::basic_string_view<Char> url, UrlPieces<Char>& pieces) {
  using View = std::basic_string_view<Char>;
  const Char separator[] = {':', '/', '/'};
  const auto schemeEnd = url.find(View(separator, 3));
  if (schemeEnd == View::npos || schemeEnd == 0) {
    return CrackResult::kInvalidUrl;
  }
  const View scheme = url.substr(0, schemeEnd);
  UrlPieces<Char> result;
  if (EqualsAsciiNoCase(scheme, "https")) {
    result.secure = true;
  } else if (!EqualsAsciiNoCase(scheme, "http")) {
    return CrackResult::kUnrecognizedScheme;
  }
  const View rest = url.substr(schemeEnd + 3);
  const Char authorityEnds[] = {'/', '?', '#'};
  const auto authorityEnd = std::min(rest.find_first_of(View(authorityEnds, 3)), rest.size());
  View authority = rest.substr(0, authorityEnd);
  if (const auto at = authority.rfind(Char('@')); at != View::npos) {
    authority.remove_prefix(at + 1);
  }
  std::size_t hostEnd = authority.size();
  if (!authority.empty() && authority.front() == '[') {
    const auto close = authority.find(Char(']'));
    if (close == View::npos) {
      return CrackResult::kInvalidUrl;
    }
    hostEnd = close + 1;
    if (hostEnd < authority.size() && authority[hostEnd] != ':') {
      return CrackResult::kInvalidUrl;
    }
  } else {
    hostEnd = std::min(authority.find(Char(':')), authority.size());
  }
  result.host = authority.substr(0, hostEnd);
  if (result.host.empty() ||
      std::any_of(result.host.begin(), result.host.end(), [](Char c) { return c <= ' ' || c == 0x7F; })) {
    return CrackResult::kInvalidUrl;
  }
  result.port = result.secure ? 443 : 80;
  if (hostEnd < authority.size()) {
    const View portText = authority.substr(hostEnd + 1);
    if (!portText.empty()) {
      unsigned value = 0;
      for (const Char c : portText) {
        if (c < '0' || c > '9' || value > 65535) {
          return CrackResult::kInvalidUrl;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
      }
      if (value < 1 || value > 65535) {
        return CrackResult::kInvalidUrl;
      }
      result.port = static_cast<std::uint16_t>(value);
    }
  }
  const View tail = rest.substr(authorityEnd);
  const Char extraStarts[] = {'?', '#'};
  const auto extraStart = std::min(tail.find_first_of(View(extraStarts, 2)), tail.size());
  result.path = tail.substr(0, extraStart);
  result.extra = tail.substr(extraStart);
  pieces = result;
  return CrackResult::kOk;
}

// Scheme, "://", host and port of an absolute URL: everything before the path.
std::string_view OriginOf(std::string_view url) {
  const auto schemeEnd = url.find("://");
  const auto pathStart = url.find_first_of("/?#", schemeEnd == std::string_view::npos ? 0 : schemeEnd + 3);
  return url.substr(0, std::min(pathStart, url.size()));
}

bool HasScheme(std::string_view reference) {
  const auto colon = reference.find(':');
  if (colon == std::string_view::npos || colon == 0) {
    return false;
  }
  const auto firstDelimiter = reference.find_first_of("/?#");
  if (firstDelimiter != std::string_view::npos && firstDelimiter < colon) {
    return false;
  }
  return std::all_of(reference.begin(), reference.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
  });
}

std::string WithoutFragment(std::string url) {
  if (const auto hash = url.find('#'); hash != std::string::npos) {
    url.erase(hash);
  }
  return url;
}

}  // namespace

CrackResult SplitUrl(std::string_view url, UrlPieces<char>& pieces) {
  return Split(url, pieces);
}

CrackResult SplitUrl(std::u16string_view url, UrlPieces<char16_t>& pieces) {
  return Split(url, pieces);
}

std::string RemoveDotSegments(std::string_view path) {
  std::string output;
  while (!path.empty()) {
    if (path.starts_with("../")) {
      path.remove_prefix(3);
    } else if (path.starts_with("./")) {
      path.remove_prefix(2);
    } else if (path.starts_with("/./")) {
      path.remove_prefix(2);
    } else if (path == "/.") {
      path = "/";
    } else if (path.starts_with("/../") || path == "/..") {
      path = path.size() == 3 ? std::string_view("/") : path.substr(3);
      const auto lastSlash = output.rfind('/');
      output.erase(lastSlash == std::string::npos ? 0 : lastSlash);
    } else if (path == "." || path == "..") {
      path = {};
    } else {
      const auto next = path.find('/', 1);
      const auto segmentLength = std::min(next, path.size());
      output.append(path.substr(0, segmentLength));
      path.remove_prefix(segmentLength);
    }
  }
  return output;
}

std::string ResolveReference(std::string_view base, std::string_view reference) {
  while (!reference.empty() && (reference.front() == ' ' || reference.front() == '\t')) {
    reference.remove_prefix(1);
  }
  while (!reference.empty() && (reference.back() == ' ' || reference.back() == '\t')) {
    reference.remove_suffix(1);
  }
  if (reference.empty()) {
    return {};
  }
  if (HasScheme(reference)) {
    UrlPieces<char> pieces;
    return SplitUrl(reference, pieces) == CrackResult::kOk ? WithoutFragment(std::string(reference))
                                                           : std::string();
  }
  if (reference.starts_with("//")) {
    const auto colon = base.find(':');
    return WithoutFragment(std::string(base.substr(0, colon + 1)) + std::string(reference));
  }
  const std::string_view origin = OriginOf(base);
  const std::string_view basePathAndExtra = base.substr(origin.size());
  const std::string_view basePath = basePathAndExtra.substr(0, basePathAndExtra.find_first_of("?#"));
  std::string path;
  std::string_view suffix;
  if (reference.front() == '/') {
    const auto extraStart = std::min(reference.find_first_of("?#"), reference.size());
    path = std::string(reference.substr(0, extraStart));
    suffix = reference.substr(extraStart);
  } else if (reference.front() == '?' || reference.front() == '#') {
    path = std::string(basePath.empty() ? std::string_view("/") : basePath);
    suffix = reference;
  } else {
    const auto extraStart = std::min(reference.find_first_of("?#"), reference.size());
    const auto lastSlash = basePath.rfind('/');
    path = (lastSlash == std::string_view::npos ? std::string("/")
                                                : std::string(basePath.substr(0, lastSlash + 1))) +
           std::string(reference.substr(0, extraStart));
    suffix = reference.substr(extraStart);
  }
  return WithoutFragment(std::string(origin) + RemoveDotSegments(path) + std::string(suffix));
}

std::string EscapeForWire(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
      escaped += '%';
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0x0F];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

}  // namespace corvelle::platform::detail
