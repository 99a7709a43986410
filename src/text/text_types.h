#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvelle {

// Code-page-936 bytes: a byte with the high bit set starts a two-byte character. An absent text and an
// empty text are the same thing, so a plain std::string serves; its content ends at its first NUL for
// every operation that hands it on as a C string.
using Text = std::string;

// An owned byte array with an explicit length: HTTP bodies, images, raw buffers.
using Bytes = std::vector<std::uint8_t>;

// UTF-16 code units. std::u16string keeps the terminating NUL unit after its content, so an empty
// WideText is exactly "only the NUL unit".
using WideText = std::u16string;

}  // namespace corvelle
