#include "rfb/WritablePixelBuffer.h"

#include "plat/LogWriter.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

static plat::LogWriter vlog("WritablePixelBuffer");

namespace rfb {

static inline void putPixel(uint8_t* p, int bpp, uint32_t v) {
  switch (bpp) {
  case 8:
    *p = uint8_t(v);
    break;
  case 16: {
    uint16_t s = uint16_t(v);
    memcpy(p, &s, 2);
    break;
  }
  case 24:
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    break;
  case 32:
    memcpy(p, &v, 4);
    break;
  }
}

static inline uint32_t takePixel(const uint8_t* p, int bpp) {
  switch (bpp) {
  case 8:
    return *p;
  case 16: {
    uint16_t s;
    memcpy(&s, p, 2);
    return s;
  }
  case 24:
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
  case 32: {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
  }
  }
  return 0;
}

static bool supported(int bpp) {
  return bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// Writes n pixels of 16 or 32 bits in one pass: single pixels up to a
// 16-byte boundary, then 64 bytes (several pixels) per step in aligned
// 16-byte stores, then the rest. A value made of one repeated byte is a
// byte fill.
template <typename T> static void fillPixels(uint8_t* p, size_t n, T value) {
  uint8_t low = uint8_t(value);
  if (value == T(low * T(sizeof(T) == 2 ? 0x0101u : 0x01010101u))) {
    memset(p, low, n * sizeof(T));
    return;
  }
  for (; n && (uintptr_t(p) & 15); n--, p += sizeof(T))
    memcpy(p, &value, sizeof(T));
  uint64_t pattern = sizeof(T) == 2 ? uint64_t(value) * 0x0001000100010001ull
                                    : uint64_t(value) * 0x0000000100000001ull;
  size_t blocks = n * sizeof(T) / 64;
#if defined(__SSE2__)
  __m128i v = _mm_set1_epi64x(int64_t(pattern));
  for (size_t i = 0; i < blocks; i++, p += 64) {
    _mm_store_si128(reinterpret_cast<__m128i*>(p), v);
    _mm_store_si128(reinterpret_cast<__m128i*>(p + 16), v);
    _mm_store_si128(reinterpret_cast<__m128i*>(p + 32), v);
    _mm_store_si128(reinterpret_cast<__m128i*>(p + 48), v);
  }
#else
  for (size_t i = 0; i < blocks * 8; i++, p += 8)
    memcpy(p, &pattern, 8);
#endif
  n -= blocks * 64 / sizeof(T);
  for (; n >= 8 / sizeof(T); n -= 8 / sizeof(T), p += 8)
    memcpy(p, &pattern, 8);
  for (; n; n--, p += sizeof(T))
    memcpy(p, &value, sizeof(T));
}

void WritablePixelBuffer::fillRect(const Rect& r, uint32_t pixel) {
  int bpp = format_.bpp;
  Rect k = r.intersect(getRect());
  if (k.isEmpty() || !supported(bpp))
    return;
  int stride;
  uint8_t* data = getDataRW(k, &stride);
  size_t bytes = size_t(bpp / 8);
  size_t rowBytes = size_t(k.width()) * bytes;
  size_t step = size_t(stride) * bytes;
  int h = k.height();
  if (bpp == 8) {
    for (int y = 0; y < h; y++, data += step)
      memset(data, int(pixel & 0xff), rowBytes);
    return;
  }
  if (bpp == 16 || bpp == 32) {
    // Each row in one pass; rows that follow each other without a gap (the
    // rectangle spans the whole stride) as one run.
    size_t w = size_t(k.width());
    if (size_t(stride) == w) {
      w *= size_t(h);
      h = 1;
    }
    for (int y = 0; y < h; y++, data += step) {
      if (bpp == 16)
        fillPixels<uint16_t>(data, w, uint16_t(pixel));
      else
        fillPixels<uint32_t>(data, w, pixel);
    }
    return;
  }
  // 24 bits: one row is built and then copied.
  uint8_t* first = data;
  for (int x = 0; x < k.width(); x++)
    putPixel(first + size_t(x) * 3, 24, pixel);
  data += step;
  for (int y = 1; y < h; y++, data += step)
    memcpy(data, first, rowBytes);
}

// v + d held to the int range; edges of rectangles at the ends of the range
// must not wrap round to the other end.
static int offsetClamped(int v, int d) {
  return int(std::clamp<int64_t>(int64_t(v) + d, INT_MIN, INT_MAX));
}

void WritablePixelBuffer::outlineRect(const Rect& r, uint32_t pixel) {
  int l = r.tl.x, t = r.tl.y, rt = r.br.x, b = r.br.y;
  fillRect(Rect(l, t, rt, offsetClamped(t, 1)), pixel);
  fillRect(Rect(l, t, offsetClamped(l, 1), b), pixel);
  fillRect(Rect(l, offsetClamped(b, -1), rt, b), pixel);
  fillRect(Rect(offsetClamped(rt, -1), t, rt, b), pixel);
}

void WritablePixelBuffer::imageRect(const Rect& r, const void* pixels, int stride) {
  int bpp = format_.bpp;
  Rect k = r.intersect(getRect());
  if (k.isEmpty() || !supported(bpp))
    return;
  size_t bytes = size_t(bpp / 8);
  size_t srcStep = size_t(stride ? stride : r.width()) * bytes;
  int dx = k.tl.x - r.tl.x, dy = k.tl.y - r.tl.y;
  const uint8_t* src =
      static_cast<const uint8_t*>(pixels) + size_t(dy) * srcStep + size_t(dx) * bytes;
  int destStride;
  uint8_t* dest = getDataRW(k, &destStride);
  size_t destStep = size_t(destStride) * bytes;
  size_t rowBytes = size_t(k.width()) * bytes;
  for (int y = 0; y < k.height(); y++, src += srcStep, dest += destStep)
    memcpy(dest, src, rowBytes);
}

void WritablePixelBuffer::copyRect(const Rect& dest, const Point& delta) {
  int bpp = format_.bpp;
  Rect buf = getRect();
  // The buffer moved by delta, computed wide: a delta of a buffer's size or
  // more leaves nothing to copy, and must not wrap into the buffer.
  int64_t movedL = int64_t(buf.tl.x) + delta.x, movedT = int64_t(buf.tl.y) + delta.y;
  int64_t movedR = int64_t(buf.br.x) + delta.x, movedB = int64_t(buf.br.y) + delta.y;
  Rect d = dest.intersect(buf);
  int64_t l = std::max<int64_t>(d.tl.x, movedL), t = std::max<int64_t>(d.tl.y, movedT);
  int64_t r = std::min<int64_t>(d.br.x, movedR), b = std::min<int64_t>(d.br.y, movedB);
  if (l >= r || t >= b || !supported(bpp))
    return;
  Rect k{int(l), int(t), int(r), int(b)}; // within d, so within int
  int stride;
  uint8_t* data = getDataRW(buf, &stride);
  ptrdiff_t bytes = bpp / 8;
  auto addr = [&](int x, int y) {
    return data + (ptrdiff_t(y - origin_.y) * stride + (x - origin_.x)) * bytes;
  };
  size_t rowBytes = size_t(k.width()) * size_t(bytes);
  if (delta.y <= 0) {
    for (int y = k.tl.y; y < k.br.y; y++)
      memmove(addr(k.tl.x, y), addr(k.tl.x - delta.x, y - delta.y), rowBytes);
  } else {
    for (int y = k.br.y - 1; y >= k.tl.y; y--)
      memmove(addr(k.tl.x, y), addr(k.tl.x - delta.x, y - delta.y), rowBytes);
  }
}

void WritablePixelBuffer::maskRect(const Rect& r, uint32_t pixel, const void* mask, int maskStride,
                                   int maskBitOffset) {
  int bpp = format_.bpp;
  Rect k = r.intersect(getRect());
  if (k.isEmpty() || !supported(bpp))
    return;
  size_t mStep = size_t(maskStride ? maskStride : (r.width() + 7) / 8);
  int dx = k.tl.x - r.tl.x, dy = k.tl.y - r.tl.y;
  int stride;
  uint8_t* data = getDataRW(k, &stride);
  size_t bytes = size_t(bpp / 8);
  size_t step = size_t(stride) * bytes;
  const uint8_t* mrow = static_cast<const uint8_t*>(mask) + size_t(dy) * mStep;
  for (int y = 0; y < k.height(); y++, data += step, mrow += mStep) {
    for (int c = 0; c < k.width(); c++) {
      size_t bit = size_t(maskBitOffset) + size_t(dx) + size_t(c);
      if (mrow[bit >> 3] & (0x80 >> (bit & 7)))
        putPixel(data + size_t(c) * bytes, bpp, pixel);
    }
  }
}

void WritablePixelBuffer::xorRect(const Rect& r, uint32_t pixel) {
  int bpp = format_.bpp;
  Rect k = r.intersect(getRect());
  if (k.isEmpty() || !supported(bpp))
    return;
  int stride;
  uint8_t* data = getDataRW(k, &stride);
  size_t bytes = size_t(bpp / 8);
  size_t step = size_t(stride) * bytes;
  for (int y = 0; y < k.height(); y++, data += step)
    for (int x = 0; x < k.width(); x++) {
      uint8_t* p = data + size_t(x) * bytes;
      putPixel(p, bpp, takePixel(p, bpp) ^ pixel);
    }
}

} // namespace rfb
