// A pixel buffer that can be drawn into. The drawing operations take
// rectangles in the buffer's own coordinates, clip them to the buffer, and
// write pixel values already in the buffer's layout (8 bits as a byte, 16
// and 32 as native words, 24 as three bytes least significant first).
#pragma once

#include "rfb/PixelBuffer.h"

namespace rfb {

class WritablePixelBuffer : public PixelBuffer {
public:
  using PixelBuffer::PixelBuffer;

  const uint8_t* getData(const Rect& r, int* stride) override { return getDataRW(r, stride); }
  // Writable pointer to the rectangle's top-left pixel; no clipping.
  virtual uint8_t* getDataRW(const Rect& r, int* stride) = 0;

  void fillRect(const Rect& r, uint32_t pixel);
  // Four fills: top row, left column, bottom row, right column of r.
  void outlineRect(const Rect& r, uint32_t pixel);
  // Copies pixels (rows stride pixels apart, 0: r's width) into r; the
  // source is addressed as for the unclipped rectangle.
  void imageRect(const Rect& r, const void* pixels, int stride = 0);
  // Each pixel p of dest (clipped so that dest and dest - delta lie in the
  // buffer) receives the pixel that was at p - delta; overlap is safe.
  void copyRect(const Rect& dest, const Point& delta);
  // Sets the pixels whose mask bit is 1: rows maskStride bytes apart (0:
  // (r's width + 7) / 8), most significant bit first, starting maskBitOffset
  // bits into each row.
  void maskRect(const Rect& r, uint32_t pixel, const void* mask, int maskStride = 0,
                int maskBitOffset = 0);
  void xorRect(const Rect& r, uint32_t pixel);
};

} // namespace rfb
