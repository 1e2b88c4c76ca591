#include "rfb/ArrowCursor.h"

namespace rfb {

ArrowCursor::ArrowCursor(const PixelLayout& pf, ColourMap* cm) {
  image_.setPF(pf);
  image_.setColourMap(cm, false);
  setRect(Rect(0, 0, 12, 21));
  black_ = pixelOf(Colour(0, 0, 0));
  white_ = pixelOf(Colour(255, 255, 255));
  image_.fillRect(getRect(), 0);

  for (int y = 16; y >= 11; y--)
    run(0, 16 - y, y);
  for (int y = 0; y <= 11; y++)
    run(0, y, y);
  for (int x = 7; x <= 11; x++)
    image_.setPixel(Point(x, 11), black_);
  for (int y = 12; y <= 19; y++)
    run((y - 12) / 2 + 4, (y - 12) / 2 + 7, y);
  run(8, 9, 20);
}

ArrowCursor::~ArrowCursor() = default;

uint32_t ArrowCursor::pixelOf(const Colour& c) const {
  const PixelLayout& pf = image_.getPF();
  uint32_t v;
  if (pf.trueColour) {
    uint32_t r = uint32_t(c.r), g = uint32_t(c.g), b = uint32_t(c.b);
    if (pf.redMax != 255 || pf.greenMax != 255 || pf.blueMax != 255) {
      r = (pf.redMax * r + 127) / 255;
      g = (pf.greenMax * g + 127) / 255;
      b = (pf.blueMax * b + 127) / 255;
    }
    // A shift from a layout nobody checked may lie beyond the pixel value.
    auto place = [](uint32_t value, unsigned shift) { return shift < 32 ? value << shift : 0; };
    v = place(r, pf.redShift) | place(g, pf.greenShift) | place(b, pf.blueShift);
  } else {
    ColourMap* cm = image_.getColourMap();
    v = cm ? uint32_t(cm->lookupRGB(c)) : 0;
  }
  if (pf.bigEndian && pf.bpp == 32)
    v = __builtin_bswap32(v);
  else if (pf.bigEndian && pf.bpp == 16)
    v = __builtin_bswap16(uint16_t(v));
  return v;
}

void ArrowCursor::run(int x0, int x1, int y) {
  for (int x = x0; x <= x1; x++) {
    image_.setPixel(Point(x, y), x == x0 || x == x1 ? black_ : white_);
    setShown(x, y);
  }
}

} // namespace rfb
