#include "text/encoding.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/detail/cp936_table.h"
#include "text/text_ops.h"

namespace corvelle {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

std::string_view UpToNul(std::string_view text) {
  return text.substr(0, std::min(text.find('\0'), text.size()));
}

std::u16string_view UpToNul(std::u16string_view wide) {
  return wide.substr(0, std::min(wide.find(u'\0'), wide.size()));
}

// Copies the leading run of non-NUL ASCII bytes widened to UTF-16 units; answers its length. Sixteen
// bytes at a time where SSE2 is there: this is the hot path for JSON and HTTP text.
std::size_t WidenAscii(const unsigned char* data, std::size_t size, char16_t* out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= size; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    if (_mm_movemask_epi8(bytes) != 0 || _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)) != 0) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(bytes, zero));
  }
#endif
  for (; i < size && data[i] < 0x80 && data[i] != 0; ++i) out[i] = data[i];
  return i;
}

// The other way: copies the leading run of non-NUL UTF-16 units below 0x80 as bytes; answers its length.
std::size_t NarrowAscii(const char16_t* data, std::size_t size, char* out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= size; i += 16) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 8));
    const __m128i outside = _mm_and_si128(_mm_or_si128(first, second), high);
    const __m128i nul = _mm_or_si128(_mm_cmpeq_epi16(first, zero), _mm_cmpeq_epi16(second, zero));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(outside, zero)) != 0xFFFF || _mm_movemask_epi8(nul) != 0) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(first, second));
  }
#endif
  for (; i < size && data[i] < 0x80 && data[i] != 0; ++i) out[i] = static_cast<char>(data[i]);
  return i;
}

// Length of the leading run of ASCII bytes.
std::size_t AsciiPrefix(const unsigned char* data, std::size_t size) {
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t block;
    std::memcpy(&block, data + i, 8);
    if (block & 0x8080808080808080ULL) break;
  }
  while (i < size && data[i] < 0x80) ++i;
  return i;
}

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | point >> 6);
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | point >> 12);
    out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | point >> 18);
    out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

// Decodes one UTF-8 sequence at `i`, advancing `i`; a malformed sequence yields U+FFFD and consumes
// only the bytes that belonged to it, so the next character is never swallowed.
char32_t DecodeUtf8(std::string_view utf8, std::size_t& i) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(utf8[at]); };
  const unsigned char first = byte(i++);
  if (first < 0x80) return first;
  int length;
  char32_t point;
  char32_t minimum;
  if (first >= 0xC2 && first <= 0xDF) {
    length = 1, point = first & 0x1F, minimum = 0x80;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 2, point = first & 0x0F, minimum = 0x800;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 3, point = first & 0x07, minimum = 0x10000;
  } else {
    return kReplacement;
  }
  for (int k = 0; k < length; ++k) {
    if (i >= utf8.size() || (byte(i) & 0xC0) != 0x80) return kReplacement;
    point = point << 6 | (byte(i++) & 0x3F);
  }
  if (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return kReplacement;
  return point;
}

void AppendUtf16(WideText& out, char32_t point) {
  if (point < 0x10000) {
    out += static_cast<char16_t>(point);
  } else {
    point -= 0x10000;
    out += static_cast<char16_t>(0xD800 | point >> 10);
    out += static_cast<char16_t>(0xDC00 | (point & 0x3FF));
  }
}

}  // namespace

std::size_t TextToUtf16Units(std::string_view text, char16_t* units) {
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  char16_t* out = units;
  std::size_t i = 0;
  const auto& table = detail::Cp936();
  while (i < size) {
    const std::size_t run = WidenAscii(data + i, size - i, out);
    out += run;
    i += run;
    if (i < size && data[i] == 0) break;  // the text ends at its first NUL
    while (i < size && data[i] >= 0x80) {
      const unsigned char lead = data[i];
      if (!IsLeadByte(lead)) {  // 0x80 (the euro sign) and 0xFF
        const char16_t unit = table.decode[lead];
        *out++ = unit ? unit : kReplacement;
        ++i;
      } else if (i + 1 < size && data[i + 1] >= 0x40 && data[i + 1] != 0x7F && data[i + 1] != 0xFF) {
        const char16_t unit = table.decode[lead << 8 | data[i + 1]];
        *out++ = unit ? unit : kReplacement;
        i += 2;
      } else {
        // A lead byte at the end or before a byte that cannot trail: only the lead byte is lost.
        *out++ = kReplacement;
        ++i;
      }
    }
  }
  return static_cast<std::size_t>(out - units);
}

WideText TextToUtf16(std::string_view text) {
  WideText wide;
  wide.resize(text.size());
  wide.resize(TextToUtf16Units(text, wide.data()));
  return wide;
}

Text Utf16ToText(std::u16string_view wide) {
  const char16_t* data = wide.data();
  const std::size_t size = wide.size();
  // Converted a block at a time through a small buffer that stays in cache, so the result is written
  // once and never zero-filled first.
  constexpr std::size_t kBlockUnits = 2048;
  char block[kBlockUnits * 2];
  Text text;
  text.reserve(size);
  const auto& table = detail::Cp936();
  for (std::size_t begin = 0; begin < size; begin += kBlockUnits) {
    std::size_t end = std::min(size, begin + kBlockUnits);
    std::size_t written = 0;
    for (std::size_t i = begin; i < end;) {
      const std::size_t run = NarrowAscii(data + i, end - i, block + written);
      written += run;
      i += run;
      if (i < end && data[i] == 0) {  // the text ends at its first NUL
        text.append(block, written);
        return text;
      }
      while (i < end && data[i] >= 0x80) {
        const char16_t unit = data[i++];
        if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
          // A whole pair is one character that code page 936 cannot hold, and so is a lone half. A
          // pair split by the block edge stays whole: its low half is taken from the next block.
          if (IsHighSurrogate(unit) && i < size && IsLowSurrogate(data[i])) {
            ++i;
            end = std::max(end, i);
          }
          block[written++] = '?';
          continue;
        }
        const std::uint16_t code = table.encode[unit];
        if (code == 0) {
          block[written++] = '?';
        } else if (code < 0x100) {
          block[written++] = static_cast<char>(code);
        } else {
          block[written++] = static_cast<char>(code >> 8);
          block[written++] = static_cast<char>(code & 0xFF);
        }
      }
    }
    text.append(block, written);
    begin = end - kBlockUnits;  // the loop step lands on `end`
  }
  return text;
}

WideText Utf8ToUtf16(std::string_view utf8) {
  utf8 = UpToNul(utf8);
  WideText wide;
  wide.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t run =
        AsciiPrefix(reinterpret_cast<const unsigned char*>(utf8.data()) + i, utf8.size() - i);
    wide.append(utf8.begin() + static_cast<std::ptrdiff_t>(i),
                utf8.begin() + static_cast<std::ptrdiff_t>(i + run));
    i += run;
    if (i < utf8.size()) AppendUtf16(wide, DecodeUtf8(utf8, i));
  }
  return wide;
}

std::string Utf16ToUtf8(std::u16string_view wide) {
  wide = UpToNul(wide);
  std::string utf8;
  utf8.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t point = wide[i];
    if (IsHighSurrogate(wide[i]) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
      point = 0x10000 + ((point - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(wide[i]) || IsLowSurrogate(wide[i])) {
      point = kReplacement;
    }
    AppendUtf8(utf8, point);
  }
  return utf8;
}

Text Utf8ToText(std::string_view utf8) {
  return Utf16ToText(Utf8ToUtf16(utf8));
}

std::string TextToUtf8(std::string_view text) {
  return Utf16ToUtf8(TextToUtf16(text));
}

Text BytesToText(const Bytes& bytes) {
  return Text(UpToNul(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
}

}  // namespace corvelle
