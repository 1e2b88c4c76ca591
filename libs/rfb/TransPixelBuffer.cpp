#include "rfb/TransPixelBuffer.h"

#include <cstddef>
#include <cstring>

namespace rfb {

TransPixelBuffer::TransPixelBuffer() : source_(nullptr), cube_(nullptr) {
}

TransPixelBuffer::~TransPixelBuffer() = default;

void TransPixelBuffer::setSource(PixelBuffer* source) {
  source_ = source;
  rebuild();
}

void TransPixelBuffer::setPF(const PixelLayout& pf) {
  outPF_ = pf;
  rebuild();
}

void TransPixelBuffer::setColourCube(ColourMap* cube) {
  cube_ = cube;
  rebuild();
}

void TransPixelBuffer::setColourMapEntries(int first, int count) {
  if (!source_ || table_.empty())
    return;
  int n = int(table_.size());
  int end = count == 0 ? n : first + count;
  for (int i = first < 0 ? 0 : first; i < end && i < n; i++)
    table_[size_t(i)] = translate(uint32_t(i));
}

void TransPixelBuffer::rebuild() {
  table_.clear();
  if (!source_)
    return;
  int bpp = source_->getPF().bpp;
  if (bpp != 8 && bpp != 16)
    return;
  table_.resize(size_t(1) << bpp);
  setColourMapEntries(0, 0);
}

// Pixel values are held in the byte order of the host; a big-endian source
// value was swapped on reading.
Colour TransPixelBuffer::toColour(uint32_t pixel) {
  const PixelLayout& pf = source_->getPF();
  Colour c;
  if (pf.trueColour) {
    auto channel = [pixel](unsigned shift, unsigned max) {
      if (max == 0 || shift >= 32)
        return 0;
      return int(((pixel >> shift) & max) * 255 / max);
    };
    c.r = channel(pf.redShift, pf.redMax);
    c.g = channel(pf.greenShift, pf.greenMax);
    c.b = channel(pf.blueShift, pf.blueMax);
  } else if (ColourMap* cm = source_->getColourMap()) {
    cm->lookup(int(pixel), &c);
  }
  return c;
}

uint32_t TransPixelBuffer::fromColour(const Colour& c) {
  if (outPF_.trueColour) {
    auto place = [](int v, unsigned max, unsigned shift) {
      return shift < 32 ? uint32_t((unsigned(v) * max + 127) / 255) << shift : 0u;
    };
    return place(c.r, outPF_.redMax, outPF_.redShift) |
           place(c.g, outPF_.greenMax, outPF_.greenShift) |
           place(c.b, outPF_.blueMax, outPF_.blueShift);
  }
  return cube_ ? uint32_t(cube_->lookupRGB(c)) : 0;
}

uint32_t TransPixelBuffer::translate(uint32_t pixel) {
  // Colour-mapped to colour-mapped without a cube keeps the index.
  if (!outPF_.trueColour && !cube_ && !source_->getPF().trueColour)
    return pixel;
  return fromColour(toColour(pixel));
}

static uint32_t readPixel(const uint8_t* p, int bpp, bool bigEndian) {
  switch (bpp) {
  case 8:
    return *p;
  case 16: {
    uint16_t v;
    memcpy(&v, p, 2);
    return bigEndian ? __builtin_bswap16(v) : v;
  }
  case 24:
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
  default: {
    uint32_t v;
    memcpy(&v, p, 4);
    return bigEndian ? __builtin_bswap32(v) : v;
  }
  }
}

static void writePixel(uint8_t* p, int bpp, bool bigEndian, uint32_t v) {
  switch (bpp) {
  case 8:
    *p = uint8_t(v);
    break;
  case 16: {
    uint16_t w = uint16_t(v);
    if (bigEndian)
      w = __builtin_bswap16(w);
    memcpy(p, &w, 2);
    break;
  }
  case 24:
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    break;
  default:
    if (bigEndian)
      v = __builtin_bswap32(v);
    memcpy(p, &v, 4);
    break;
  }
}

void TransPixelBuffer::getImage(void* dest, const Rect& r, int destStride) {
  if (!source_ || r.isEmpty())
    return;
  const PixelLayout& in = source_->getPF();
  int inBytes = in.bpp / 8, outBytes = outPF_.bpp / 8;
  bool inBig = in.bigEndian && in.bpp > 8, outBig = outPF_.bigEndian && outPF_.bpp > 8;
  if (destStride == 0)
    destStride = r.width();
  int srcStride = 0;
  const uint8_t* src = source_->getData(r, &srcStride);
  uint8_t* out = static_cast<uint8_t*>(dest);
  for (int y = 0; y < r.height(); y++) {
    const uint8_t* s = src + ptrdiff_t(y) * srcStride * inBytes;
    uint8_t* d = out + ptrdiff_t(y) * destStride * outBytes;
    for (int x = 0; x < r.width(); x++, s += inBytes, d += outBytes) {
      uint32_t p = readPixel(s, in.bpp, inBig);
      writePixel(d, outPF_.bpp, outBig, table_.empty() ? translate(p) : table_[p]);
    }
  }
}

} // namespace rfb
