#include "rfb/FullFramePixelBuffer.h"

#include "plat/LogWriter.h"

#include <algorithm>
#include <cstddef>

static plat::LogWriter vlog("FullFramePixelBuffer");

namespace rfb {

FullFramePixelBuffer::FullFramePixelBuffer() : data_(nullptr), stride_(0) {
}

FullFramePixelBuffer::FullFramePixelBuffer(const PixelLayout& pf, int width, int height,
                                           ColourMap* cm)
    : WritablePixelBuffer(pf, width, height, cm), data_(nullptr), stride_(0) {
}

FullFramePixelBuffer::FullFramePixelBuffer(const PixelLayout& pf, const Rect& r, ColourMap* cm)
    : WritablePixelBuffer(pf, r, cm), data_(nullptr), stride_(0) {
}

FullFramePixelBuffer::FullFramePixelBuffer(WritablePixelBuffer& source, const Rect& r)
    : WritablePixelBuffer(source.getPF(), 0, 0, source.getColourMap()), data_(nullptr), stride_(0) {
  Rect clipped = r.intersect(source.getRect());
  origin_ = clipped.tl.subtract(r.tl);
  width_ = std::max(0, clipped.width());
  height_ = std::max(0, clipped.height());
  data_ = source.getDataRW(clipped, &stride_);
}

uint8_t* FullFramePixelBuffer::getDataRW(const Rect& r, int* stride) {
  if (stride)
    *stride = stride_;
  if (r.isEmpty())
    return nullptr;
  return data_ + (ptrdiff_t(r.tl.y - origin_.y) * stride_ + (r.tl.x - origin_.x)) *
                     ptrdiff_t(bytesPerPixel());
}

uint32_t FullFramePixelBuffer::getPixel(const Point& p) const {
  const uint8_t* q = data_ + (ptrdiff_t(p.y) * stride_ + p.x) * ptrdiff_t(bytesPerPixel());
  switch (format_.bpp) {
  case 8:
    return *q;
  case 16:
    return uint32_t(q[0]) | uint32_t(q[1]) << 8;
  case 24:
    return uint32_t(q[0]) | uint32_t(q[1]) << 8 | uint32_t(q[2]) << 16;
  case 32:
    return uint32_t(q[0]) | uint32_t(q[1]) << 8 | uint32_t(q[2]) << 16 | uint32_t(q[3]) << 24;
  }
  return 0;
}

void FullFramePixelBuffer::setPixel(const Point& p, uint32_t v) {
  uint8_t* q = data_ + (ptrdiff_t(p.y) * stride_ + p.x) * ptrdiff_t(bytesPerPixel());
  switch (format_.bpp) {
  case 32:
    q[3] = uint8_t(v >> 24);
    [[fallthrough]];
  case 24:
    q[2] = uint8_t(v >> 16);
    [[fallthrough]];
  case 16:
    q[1] = uint8_t(v >> 8);
    [[fallthrough]];
  case 8:
    q[0] = uint8_t(v);
    break;
  }
}

} // namespace rfb
