// Reading and writing one raw pixel in memory order by its size: 8 bits as a
// byte, 16 and 32 bits as native words, 24 bits as three bytes least
// significant first. Byte order flags of layouts are applied by the callers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace rfb {

template <int Bpp> inline uint32_t readPixelAt(const uint8_t* p) {
  if constexpr (Bpp == 8) {
    return *p;
  } else if constexpr (Bpp == 16) {
    uint16_t v;
    memcpy(&v, p, 2);
    return v;
  } else if constexpr (Bpp == 24) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
  } else {
    static_assert(Bpp == 32, "pixels are 8, 16, 24 or 32 bits");
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
  }
}

template <int Bpp> inline void writePixelAt(uint8_t* p, uint32_t v) {
  if constexpr (Bpp == 8) {
    *p = uint8_t(v);
  } else if constexpr (Bpp == 16) {
    uint16_t s = uint16_t(v);
    memcpy(p, &s, 2);
  } else if constexpr (Bpp == 24) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
  } else {
    static_assert(Bpp == 32, "pixels are 8, 16, 24 or 32 bits");
    memcpy(p, &v, 4);
  }
}

// The value with its bytes reversed for a big-endian layout of 16 or 32 bits
// per pixel; other sizes are left alone.
inline uint32_t swapForLayout(uint32_t v, int bpp, bool bigEndian) {
  if (!bigEndian)
    return v;
  if (bpp == 32)
    return __builtin_bswap32(v);
  if (bpp == 16)
    return __builtin_bswap16(uint16_t(v));
  return v;
}

} // namespace rfb
