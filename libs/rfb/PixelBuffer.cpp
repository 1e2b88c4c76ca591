#include "rfb/PixelBuffer.h"

#include "plat/LogWriter.h"

#include <cstring>

static plat::LogWriter vlog("PixelBuffer");

namespace rfb {

ImageGetter::~ImageGetter() = default;

PixelBuffer::PixelBuffer() : width_(0), height_(0), colourMap_(nullptr) {
}

PixelBuffer::PixelBuffer(const PixelLayout& pf, int width, int height, ColourMap* cm)
    : format_(pf), width_(width), height_(height), colourMap_(cm) {
}

PixelBuffer::PixelBuffer(const PixelLayout& pf, const Rect& r, ColourMap* cm)
    : format_(pf), width_(r.width()), height_(r.height()), origin_(r.tl), colourMap_(cm) {
}

PixelBuffer::~PixelBuffer() = default;

void PixelBuffer::getImage(void* dest, const Rect& r, int destStride) {
  int srcStride;
  const uint8_t* src = getData(r, &srcStride);
  if (!src)
    return;
  size_t bpp = size_t(bytesPerPixel());
  size_t rowBytes = size_t(r.width()) * bpp;
  size_t destStep = size_t(destStride ? destStride : r.width()) * bpp;
  size_t srcStep = size_t(srcStride) * bpp;
  uint8_t* out = static_cast<uint8_t*>(dest);
  for (int y = 0; y < r.height(); y++, out += destStep, src += srcStep)
    memcpy(out, src, rowBytes);
}

} // namespace rfb
