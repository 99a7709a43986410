#include "form_fields.h"

#include <cstdint>

#include "text/encoding.h"

namespace corvelle::share_service {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUnicodeEscape(std::string& out, std::uint32_t unit) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}

// Undoes %XX escapes, and with `plusIsSpace` the "+" of form encoding; a broken escape stays as it is.
std::string Unescape(std::string_view text, bool plusIsSpace) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (plusIsSpace && text[i] == '+') {
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
  return Unescape(text, false);
}

std::string FormDecode(std::string_view text) {
  return Unescape(text, true);
}

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (const char16_t unit : Utf8ToUtf16(utf8)) {
    if (unit == u'"' || unit == u'\\' || unit == u'/') {
      out += '\\';
      out += static_cast<char>(unit);
    } else if (unit < 0x20 || unit >= 0x7F) {
      AppendUnicodeEscape(out, unit);  // a character past the BMP comes as its two surrogates
    } else {
      out += static_cast<char>(unit);
    }
  }
  return out + "\"";
}

}  // namespace corvelle::share_service
