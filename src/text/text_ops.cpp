#include "text/text_ops.h"

#include <climits>

namespace corvelle {
namespace {

constexpr unsigned char kIdeographicSpaceByte = 0xA1;  // the ideographic space is 0xA1 0xA1
constexpr unsigned char kFullWidthLead = 0xA3;         // 0xA3 0xA1..0xFE are the full-width ASCII forms

unsigned char LowerAscii(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}
unsigned char UpperAscii(unsigned char c) {
  return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c;
}

// Width in bytes of the character starting at `at`: 2 for a lead byte with a byte after it, else 1.
std::size_t CharWidth(std::string_view text, std::size_t at) {
  return IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

bool MatchesAt(std::string_view text, std::size_t at, std::string_view needle, CaseMode mode) {
  if (text.size() - at < needle.size()) return false;
  if (mode == CaseMode::Sensitive) return text.compare(at, needle.size(), needle) == 0;
  for (std::size_t k = 0; k < needle.size(); ++k) {
    if (LowerAscii(static_cast<unsigned char>(text[at + k])) !=
        LowerAscii(static_cast<unsigned char>(needle[k])))
      return false;
  }
  return true;
}

bool IsSpaceAt(std::string_view text, std::size_t at) {
  if (text[at] == ' ') return true;
  return at + 1 < text.size() && static_cast<unsigned char>(text[at]) == kIdeographicSpaceByte &&
         static_cast<unsigned char>(text[at + 1]) == kIdeographicSpaceByte;
}

std::size_t SpaceWidth(std::string_view text, std::size_t at) {
  return text[at] == ' ' ? 1 : 2;
}

template <typename Fold>
Text FoldAscii(std::string_view text, Fold fold) {
  Text out(text);
  for (std::size_t i = 0; i < out.size();) {
    const std::size_t width = CharWidth(out, i);
    if (width == 1) out[i] = static_cast<char>(fold(static_cast<unsigned char>(out[i])));
    i += width;
  }
  return out;
}

// The one-byte form of every full-width ASCII character and of the ideographic space.
Text NarrowFullWidth(std::string_view text) {
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t width = CharWidth(text, i);
    if (width == 2) {
      const auto trail = static_cast<unsigned char>(text[i + 1]);
      if (lead == kFullWidthLead && trail >= 0xA1 && trail <= 0xFE) {
        out += static_cast<char>(trail - 0x80);
      } else if (lead == kIdeographicSpaceByte && trail == kIdeographicSpaceByte) {
        out += ' ';
      } else {
        out.append(text.substr(i, 2));
      }
    } else {
      out += text[i];
    }
    i += width;
  }
  return out;
}

bool IsAtoiSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

int FindText(std::string_view text, std::string_view needle, int start, CaseMode mode) {
  if (needle.empty() || start < 1 || static_cast<std::size_t>(start) > text.size()) return -1;
  // Walk from the beginning so that `start` landing on a trail byte cannot begin a match there.
  for (std::size_t at = 0; at < text.size(); at += CharWidth(text, at)) {
    if (at + 1 < static_cast<std::size_t>(start)) continue;
    if (MatchesAt(text, at, needle, mode)) return static_cast<int>(at + 1);
  }
  return -1;
}

int FindLastText(std::string_view text, std::string_view needle, CaseMode mode) {
  if (needle.empty()) return -1;
  int last = -1;
  for (std::size_t at = 0; at < text.size(); at += CharWidth(text, at)) {
    if (MatchesAt(text, at, needle, mode)) last = static_cast<int>(at + 1);
  }
  return last;
}

Text TrimLeadingSpaces(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsSpaceAt(text, begin)) begin += SpaceWidth(text, begin);
  return Text(text.substr(begin));
}

Text TrimSpaces(std::string_view text) {
  const Text leading = TrimLeadingSpaces(text);
  // Trailing spaces are found walking forward, so a trail byte 0xA1 is never taken for half a space.
  std::size_t end = 0;
  for (std::size_t at = 0; at < leading.size();) {
    const bool space = IsSpaceAt(leading, at);
    at += space ? SpaceWidth(leading, at) : CharWidth(leading, at);
    if (!space) end = at;
  }
  return leading.substr(0, end);
}

Text ToLowerAscii(std::string_view text) {
  return FoldAscii(text, LowerAscii);
}

Text ToUpperAscii(std::string_view text) {
  return FoldAscii(text, UpperAscii);
}

int TextToInt(std::string_view text) {
  const Text narrow = NarrowFullWidth(text);
  std::size_t i = 0;
  while (i < narrow.size() && IsAtoiSpace(narrow[i])) ++i;
  bool negative = false;
  if (i < narrow.size() && (narrow[i] == '+' || narrow[i] == '-')) negative = narrow[i++] == '-';
  long long value = 0;
  for (; i < narrow.size() && narrow[i] >= '0' && narrow[i] <= '9'; ++i) {
    value = value * 10 + (narrow[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  return static_cast<int>(value);
}

std::vector<Text> SplitText(std::string_view text, std::string_view separator) {
  std::vector<Text> pieces;
  int from = 1;
  for (int at; !separator.empty() && (at = FindText(text, separator, from)) != -1;) {
    pieces.emplace_back(text.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(at - from)));
    from = at + static_cast<int>(separator.size());
  }
  if (static_cast<std::size_t>(from - 1) < text.size())
    pieces.emplace_back(text.substr(static_cast<std::size_t>(from - 1)));
  return pieces;
}

}  // namespace corvelle
