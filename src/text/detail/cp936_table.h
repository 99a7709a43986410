#pragma once

#include <cstdint>

// The code page 936 mapping, read once from glibc's iconv into two flat tables so that converting is a
// table lookup per character instead of an iconv call per run.
namespace corvelle::detail {

struct Cp936Table {
  // Indexed by lead byte << 8 | trail byte; 0 where the pair does not decode.
  char16_t decode[0x10000];
  // Indexed by UTF-16 code unit (never a surrogate); the one- or two-byte code (two-byte codes as
  // lead << 8 | trail), 0 where code page 936 has no character for it.
  std::uint16_t encode[0x10000];
};

// Built on first use, thread-safe, lives until the process ends.
const Cp936Table& Cp936();

}  // namespace corvelle::detail
