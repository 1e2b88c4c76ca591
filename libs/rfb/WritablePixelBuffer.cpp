#include "rfb/WritablePixelBuffer.h"

#include "plat/LogWriter.h"

#include <cstddef>
#include <cstring>

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

template <typename T> static void fillRow(uint8_t* row, int w, T value) {
  for (int x = 0; x < w; x++)
    memcpy(row + size_t(x) * sizeof(T), &value, sizeof(T));
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
  // One row is built and then copied: a block copy per row beats per-pixel
  // stores on wide rectangles and costs nothing on narrow ones.
  uint8_t* first = data;
  if (bpp == 16)
    fillRow<uint16_t>(first, k.width(), uint16_t(pixel));
  else if (bpp == 32)
    fillRow<uint32_t>(first, k.width(), pixel);
  else
    for (int x = 0; x < k.width(); x++)
      putPixel(first + size_t(x) * 3, 24, pixel);
  data += step;
  for (int y = 1; y < h; y++, data += step)
    memcpy(data, first, rowBytes);
}

void WritablePixelBuffer::outlineRect(const Rect& r, uint32_t pixel) {
  fillRect(Rect(r.tl.x, r.tl.y, r.br.x, r.tl.y + 1), pixel);
  fillRect(Rect(r.tl.x, r.tl.y, r.tl.x + 1, r.br.y), pixel);
  fillRect(Rect(r.tl.x, r.br.y - 1, r.br.x, r.br.y), pixel);
  fillRect(Rect(r.br.x - 1, r.tl.y, r.br.x, r.br.y), pixel);
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
  Rect k = dest.intersect(buf).intersect(buf.translate(delta));
  if (k.isEmpty() || !supported(bpp))
    return;
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
