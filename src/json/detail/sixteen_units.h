#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

// Sixteen UTF-16 units narrowed to bytes in one register, for scans that look for ASCII characters only:
// a unit above 255 saturates to 0 or 255, so it never equals an ASCII character asked for.
namespace corvelle::detail {

inline __m128i LoadSixteenUnits(const char16_t* units) {
  return _mm_packus_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(units)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + 8)));
}

}  // namespace corvelle::detail

#endif
