#include "rfb/CursorWithAlpha.h"

#include "rfb/Composite.h"
#include "rfb/CursorWithMask.h"

#include <algorithm>
#include <cstring>

namespace rfb {

static PixelLayout littleEndian(PixelLayout pf) {
  pf.makeLittleEndian();
  return pf;
}

CursorWithAlpha::CursorWithAlpha(const PixelLayout& pf, const Rect& r) : alphaThreshold_(128) {
  image_.setPF(littleEndian(pf));
  setRect(r);
}

CursorWithAlpha::~CursorWithAlpha() = default;

int CursorWithAlpha::alphaAt(int x, int y) const {
  ColourWithAlpha c;
  pixelToColourWithAlpha(image_.getPF(), image_.getPixel(Point(x, y)), image_.getColourMap(), &c);
  return c.alpha;
}

void CursorWithAlpha::drawInto(WritablePixelBuffer* dest, const Point& p) {
  compositeRect(&image_, getRect().tl, dest, getRect().translate(p), compositeOver);
}

std::unique_ptr<Cursor> CursorWithAlpha::clone() const {
  std::unique_ptr<CursorWithAlpha> c(new CursorWithAlpha(image_.getPF(), getRect()));
  c->image_.setColourMap(image_.getColourMap(), false);
  c->alphaThreshold_ = alphaThreshold_;
  if (size_t bytes = image_.sizeBytes())
    memcpy(c->image_.getDataRW(getRect(), nullptr), pixels(), bytes);
  return c;
}

bool CursorWithAlpha::equals(const Cursor& other) const {
  const CursorWithAlpha* o = dynamic_cast<const CursorWithAlpha*>(&other);
  if (!o || !o->image_.getPF().equal(image_.getPF()) || o->getRect() != getRect())
    return false;
  size_t bytes = image_.sizeBytes();
  return bytes == 0 || memcmp(o->pixels(), pixels(), bytes) == 0;
}

std::unique_ptr<uint8_t[]> CursorWithAlpha::getBitmask(uint32_t*, uint32_t*) const {
  return nullptr;
}

bool CursorWithAlpha::isVisible(int x, int y) const {
  return alphaAt(x, y) != 0;
}

void CursorWithAlpha::crop() {
  Rect box = visibleBox();
  if (box == getRect())
    return;
  CursorWithAlpha cropped(image_.getPF(), box);
  cropped.image_.setColourMap(image_.getColourMap(), false);
  compositeRect(&image_, box.tl, &cropped.image_, box, srcCopy);
  takeImage(cropped.image_);
}

void CursorWithAlpha::copyToWithMask(CursorWithMask* target) const {
  Rect r = getRect();
  target->setRect(r);
  ManagedPixelBuffer& dest = target->image();
  // divideByAlpha leaves the destination's alpha alone: start from zeroes,
  // not whatever the memory held.
  if (size_t bytes = dest.sizeBytes())
    memset(dest.getDataRW(r, nullptr), 0, bytes);
  compositeRect(&image_, r.tl, &dest, r, divideByAlpha);
  for (int y = 0; y < image_.height(); y++)
    for (int x = 0; x < image_.width(); x++)
      if (alphaAt(x, y) > alphaThreshold_)
        target->mask()[size_t(y) * size_t(target->maskStride()) + size_t(x / 8)] |=
            uint8_t(0x80 >> (x % 8));
}

void CursorWithAlpha::copyTo(Cursor* target) const {
  target->setRect(getRect());
  compositeRect(&image_, getRect().tl, &target->image(), getRect(), srcCopy);
}

} // namespace rfb
