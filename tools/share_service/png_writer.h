#pragma once

#include <cstdint>
#include <vector>

namespace corvelle::share_service {

// An 8-bit grayscale image, row by row.
struct GrayImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width * height values, 0 black, 255 white
};

// The image as a PNG file. The pixel data goes into stored (uncompressed) deflate blocks, which every
// PNG reader accepts and which needs no compression library.
[[nodiscard]] std::vector<std::uint8_t> EncodePng(const GrayImage& image);

}  // namespace corvelle::share_service
