// A writable pixel buffer over one block of memory addressed by a data
// pointer (the pixel at the origin) and a stride in pixels. The memory is
// not owned here: ManagedPixelBuffer owns its own, a view shares another
// buffer's, and a host may point it at memory it manages.
#pragma once

#include "rfb/WritablePixelBuffer.h"

namespace rfb {

class FullFramePixelBuffer : public WritablePixelBuffer {
public:
  FullFramePixelBuffer();
  FullFramePixelBuffer(const PixelLayout& pf, int width, int height, ColourMap* cm);
  FullFramePixelBuffer(const PixelLayout& pf, const Rect& r, ColourMap* cm);
  // A window on r of another buffer, sharing its pixels and colour map. r is
  // clipped to the source; r's top-left is the view's point (0, 0).
  FullFramePixelBuffer(WritablePixelBuffer& source, const Rect& r);

  // Null for an empty rectangle; the stride is reported either way.
  uint8_t* getDataRW(const Rect& r, int* stride) override;

  // The pixel at p: 8 bpp a byte, 16 and 32 a native word, 24 three bytes
  // least significant first; other depths read 0 and write nothing.
  uint32_t getPixel(const Point& p) const;
  void setPixel(const Point& p, uint32_t value);

  int getStride() const { return stride_; }

protected:
  // Points the buffer at memory laid out with the given stride in pixels.
  void setBuffer(uint8_t* data, int stride) {
    data_ = data;
    stride_ = stride;
  }
  uint8_t* data_;
  int stride_;
};

} // namespace rfb
