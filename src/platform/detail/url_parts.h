#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// URL splitting and reference resolution shared by the URL cracker, the redirect follower and the
// cookie stores. Works on narrow and UTF-16 text alike; the pieces are views into the input.
namespace corvelle::platform::detail {

enum class CrackResult { kOk, kInvalidUrl, kUnrecognizedScheme };

template <typename Char>
struct UrlPieces {
  bool secure = false;
  std::basic_string_view<Char> host;   // IPv6 literals keep their brackets
  std::uint16_t port = 0;              // 80 or 443 when the URL names none
  std::basic_string_view<Char> path;   // empty or starting with '/'
  std::basic_string_view<Char> extra;  // empty or starting with '?' or '#'
};

// Splits an absolute http or https URL. Rejects a missing or foreign scheme, an empty host, a host
// with spaces or control characters, and a port that is not a number from 1 to 65535.
CrackResult SplitUrl(std::string_view url, UrlPieces<char>& pieces);
CrackResult SplitUrl(std::u16string_view url, UrlPieces<char16_t>& pieces);

// The absolute URL a redirect's Location value points to, seen from `base` (an absolute http or https
// URL); empty when the value is empty or names another scheme. The fragment of the result is dropped.
[[nodiscard]] std::string ResolveReference(std::string_view base, std::string_view reference);

// The path's dot segments ("." and "..") removed, as a browser does when it resolves a reference.
[[nodiscard]] std::string RemoveDotSegments(std::string_view path);

// A URL for the wire: bytes that may not appear in a request target (controls, space, non-ASCII) are
// percent-encoded; everything else is left exactly as written.
[[nodiscard]] std::string EscapeForWire(std::string_view text);

}  // namespace corvelle::platform::detail
