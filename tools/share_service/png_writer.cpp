#include "png_writer.h"

#include <array>
#include <string_view>

namespace corvelle::share_service {
namespace {

using ByteVector = std::vector<std::uint8_t>;

constexpr std::size_t kMaxStoredBlock = 65535;

std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  static const std::array<std::uint32_t, 256> kTable = MakeCrcTable();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) c = kTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(const ByteVector& data) {
  std::uint32_t a = 1, b = 0;
  for (const std::uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

void PutBigEndian32(ByteVector& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutChunk(ByteVector& out, std::string_view type, const ByteVector& data) {
  PutBigEndian32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  PutBigEndian32(out, Crc32(out.data() + typeAt, out.size() - typeAt));
}

// A zlib stream of stored deflate blocks.
ByteVector StoredZlib(const ByteVector& raw) {
  ByteVector out = {0x78, 0x01};
  std::size_t at = 0;
  do {
    const std::size_t length = std::min(kMaxStoredBlock, raw.size() - at);
    const bool last = at + length == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<std::uint8_t>(length & 0xFF));
    out.push_back(static_cast<std::uint8_t>(length >> 8));
    out.push_back(static_cast<std::uint8_t>(~length & 0xFF));
    out.push_back(static_cast<std::uint8_t>((~length >> 8) & 0xFF));
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
               raw.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  } while (at < raw.size());
  PutBigEndian32(out, Adler32(raw));
  return out;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const GrayImage& image) {
  ByteVector out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

  ByteVector header;
  PutBigEndian32(header, static_cast<std::uint32_t>(image.width));
  PutBigEndian32(header, static_cast<std::uint32_t>(image.height));
  header.insert(header.end(), {8, 0, 0, 0, 0});  // 8-bit grayscale, deflate, no filter, no interlace
  PutChunk(out, "IHDR", header);

  ByteVector raw;
  raw.reserve(static_cast<std::size_t>(image.height) * (image.width + 1));
  for (int y = 0; y < image.height; ++y) {
    raw.push_back(0);  // filter type None
    const auto row = image.pixels.begin() + static_cast<std::ptrdiff_t>(y) * image.width;
    raw.insert(raw.end(), row, row + image.width);
  }
  PutChunk(out, "IDAT", StoredZlib(raw));
  PutChunk(out, "IEND", {});
  return out;
}

}  // namespace corvelle::share_service
