#include "text/detail/cp936_table.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace corvelle::detail {
namespace {

struct IconvCloser {
  void operator()(iconv_t handle) const { iconv_close(handle); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

IconvHandle OpenIconv(const char* to, const char* from) {
  iconv_t handle = iconv_open(to, from);
  if (handle == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return IconvHandle(handle);
}

// Decodes one one- or two-byte sequence; 0 when iconv does not take it as one whole BMP character.
char16_t DecodeOne(iconv_t handle, const unsigned char* bytes, std::size_t length) {
  iconv(handle, nullptr, nullptr, nullptr, nullptr);
  char input[2] = {static_cast<char>(bytes[0]), static_cast<char>(length > 1 ? bytes[1] : 0)};
  unsigned char output[8] = {};
  char* in = input;
  char* out = reinterpret_cast<char*>(output);
  std::size_t inLeft = length;
  std::size_t outLeft = sizeof output;
  if (iconv(handle, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) return 0;
  if (sizeof output - outLeft != 2) return 0;  // nothing, or a surrogate pair
  return static_cast<char16_t>(output[0] | output[1] << 8);
}

std::uint16_t EncodeOne(iconv_t handle, char16_t unit) {
  iconv(handle, nullptr, nullptr, nullptr, nullptr);
  unsigned char input[2] = {static_cast<unsigned char>(unit & 0xFF), static_cast<unsigned char>(unit >> 8)};
  unsigned char output[8] = {};
  char* in = reinterpret_cast<char*>(input);
  char* out = reinterpret_cast<char*>(output);
  std::size_t inLeft = sizeof input;
  std::size_t outLeft = sizeof output;
  if (iconv(handle, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) return 0;
  std::size_t written = sizeof output - outLeft;
  if (written == 1) return output[0];
  if (written == 2) return static_cast<std::uint16_t>(output[0] << 8 | output[1]);
  return 0;
}

std::unique_ptr<Cp936Table> BuildTable() {
  auto table = std::make_unique<Cp936Table>();
  for (unsigned unit = 0; unit < 0x80; ++unit) {
    table->decode[unit] = static_cast<char16_t>(unit);
    table->encode[unit] = static_cast<std::uint16_t>(unit);
  }
  IconvHandle decoder = OpenIconv("UTF-16LE", "CP936");
  IconvHandle encoder = OpenIconv("CP936", "UTF-16LE");
  if (decoder) {
    for (unsigned lead = 0x81; lead < 0xFF; ++lead) {
      for (unsigned trail = 0x40; trail < 0xFF; ++trail) {
        if (trail == 0x7F) continue;
        const unsigned char pair[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
        char16_t unit = DecodeOne(decoder.get(), pair, 2);
        if (unit == 0) continue;
        table->decode[lead << 8 | trail] = unit;
        // Where several codes decode to one character, the encoder's own choice wins.
        std::uint16_t code = static_cast<std::uint16_t>(lead << 8 | trail);
        if (table->encode[unit] != 0 && encoder) code = EncodeOne(encoder.get(), unit);
        if (code != 0) table->encode[unit] = code;
      }
    }
  }
  // Windows reads the single byte 0x80 as the euro sign; glibc leaves it undefined.
  table->decode[0x80] = u'\u20AC';
  table->encode[0x20AC] = 0x80;
  return table;
}

}  // namespace

const Cp936Table& Cp936() {
  static const std::unique_ptr<Cp936Table> table = BuildTable();
  return *table;
}

}  // namespace corvelle::detail
