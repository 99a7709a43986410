#include "form_fields.h"

#include <cstdint>

namespace corvelle::share_service {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The next code point of UTF-8 text; a malformed byte is taken as U+FFFD and skipped.
char32_t NextCodePoint(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  char32_t value = extra == 3 ? lead & 0x07 : extra == 2 ? lead & 0x0F : extra == 1 ? lead & 0x1F : lead;
  if (lead >= 0x80 && extra == 0) {
    ++at;
    return 0xFFFD;
  }
  ++at;
  for (; extra > 0; --extra, ++at) {
    if (at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) return 0xFFFD;
    value = (value << 6) | (static_cast<unsigned char>(text[at]) & 0x3F);
  }
  return value;
}

void AppendUnicodeEscape(std::string& out, std::uint32_t unit) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}

}  // namespace

std::vector<FormField> SplitFields(std::string_view text) {
  std::vector<FormField> fields;
  if (text.empty()) return fields;
  std::size_t at = 0;
  while (true) {
    const std::size_t amp = text.find('&', at);
    const std::string_view piece = text.substr(at, amp == std::string_view::npos ? text.npos : amp - at);
    const std::size_t eq = piece.find('=');
    fields.push_back(eq == std::string_view::npos
                         ? FormField{std::string(piece), {}}
                         : FormField{std::string(piece.substr(0, eq)), std::string(piece.substr(eq + 1))});
    if (amp == std::string_view::npos) break;
    at = amp + 1;
  }
  return fields;
}

std::optional<std::string> RawField(const std::vector<FormField>& fields, std::string_view key) {
  for (const FormField& field : fields) {
    if (field.key == key) return field.raw;
  }
  return std::nullopt;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string FormDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (std::size_t at = 0; at < utf8.size();) {
    const char32_t c = NextCodePoint(utf8, at);
    if (c == '"' || c == '\\' || c == '/') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      if (c >= 0x10000) {
        const std::uint32_t v = c - 0x10000;
        AppendUnicodeEscape(out, 0xD800 + (v >> 10));
        AppendUnicodeEscape(out, 0xDC00 + (v & 0x3FF));
      } else {
        AppendUnicodeEscape(out, c);
      }
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace corvelle::share_service
