#include "rfb/CursorWithMask.h"

#include "rfb/Composite.h"

#include <cstring>
#include <typeinfo>

namespace rfb {

CursorWithMask::CursorWithMask() : maskCapacity_(0) {
}

CursorWithMask::~CursorWithMask() = default;

bool CursorWithMask::isShown(int x, int y) const {
  return mask_[size_t(y) * size_t(maskStride()) + size_t(x / 8)] & (0x80 >> (x % 8));
}

void CursorWithMask::setShown(int x, int y) {
  mask_[size_t(y) * size_t(maskStride()) + size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
}

// A mask that grows gets a new array; either way it starts clear, so that a
// caller that writes only some of it (or none, as copyTo) shows no stale or
// uninitialised bits.
void CursorWithMask::setRect(const Rect& r) {
  Cursor::setRect(r);
  size_t need = maskBytes();
  if (need > maskCapacity_) {
    mask_.reset(new uint8_t[need]);
    maskCapacity_ = need;
  }
  if (need)
    memset(mask_.get(), 0, need);
}

void CursorWithMask::drawInto(WritablePixelBuffer* dest, const Point& p) {
  if (!dest->getPF().equal(image_.getPF())) {
    CursorWithMask converted;
    converted.image_.setPF(dest->getPF());
    converted.image_.setColourMap(dest->getColourMap(), false);
    copyToWithMask(&converted);
    converted.drawInto(dest, p);
    return;
  }
  if (image_.width() == 0 || image_.height() == 0)
    return;
  maskedImageRect(dest, getRect().translate(p), pixels(), mask_.get(), image_.width(),
                  maskStride());
}

std::unique_ptr<Cursor> CursorWithMask::clone() const {
  std::unique_ptr<CursorWithMask> c(new CursorWithMask);
  c->image_.setPF(image_.getPF());
  c->image_.setColourMap(image_.getColourMap(), false);
  c->setRect(getRect());
  if (size_t bytes = image_.sizeBytes())
    memcpy(c->image_.getDataRW(getRect(), nullptr), pixels(), bytes);
  if (size_t bytes = maskBytes())
    memcpy(c->mask_.get(), mask_.get(), bytes);
  return c;
}

bool CursorWithMask::equals(const Cursor& other) const {
  const CursorWithMask* o = dynamic_cast<const CursorWithMask*>(&other);
  if (!o || o->getRect() != getRect())
    return false;
  size_t bytes = maskBytes();
  if (bytes && memcmp(o->mask_.get(), mask_.get(), bytes) != 0)
    return false;
  for (int y = 0; y < image_.height(); y++)
    for (int x = 0; x < image_.width(); x++)
      if (isShown(x, y) && image_.getPixel(Point(x, y)) != o->image_.getPixel(Point(x, y)))
        return false;
  return true;
}

std::unique_ptr<uint8_t[]> CursorWithMask::getBitmask(uint32_t* pixel0, uint32_t* pixel1) const {
  size_t bytes = maskBytes();
  std::unique_ptr<uint8_t[]> bits(new uint8_t[bytes ? bytes : 1]());
  *pixel0 = *pixel1 = 0;
  int seen = 0;
  for (int y = 0; y < image_.height(); y++) {
    for (int x = 0; x < image_.width(); x++) {
      if (!isShown(x, y))
        continue;
      uint32_t v = image_.getPixel(Point(x, y));
      if (seen == 0) {
        *pixel0 = v;
        seen = 1;
      }
      if (v == *pixel0)
        continue;
      if (seen == 1) {
        *pixel1 = v;
        seen = 2;
      }
      if (v != *pixel1)
        return nullptr;
      bits[size_t(y) * size_t(maskStride()) + size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
    }
  }
  return bits;
}

bool CursorWithMask::isVisible(int x, int y) const {
  return isShown(x, y);
}

void CursorWithMask::crop() {
  Rect box = visibleBox();
  Rect whole = getRect();
  if (box == whole)
    return;
  CursorWithMask cropped;
  cropped.image_.setPF(image_.getPF());
  cropped.image_.setColourMap(image_.getColourMap(), false);
  cropped.setRect(box);
  compositeRect(&image_, box.tl, &cropped.image_, box, srcCopy);
  for (int y = 0; y < box.height(); y++)
    for (int x = 0; x < box.width(); x++)
      if (isShown(x + box.tl.x - whole.tl.x, y + box.tl.y - whole.tl.y))
        cropped.setShown(x, y);
  takeImage(cropped.image_);
  mask_ = std::move(cropped.mask_);
  maskCapacity_ = cropped.maskCapacity_;
}

void CursorWithMask::copyToWithMask(CursorWithMask* target) const {
  target->setRect(getRect());
  compositeRect(&image_, getRect().tl, &target->image_, getRect(), srcCopy);
  if (size_t bytes = maskBytes())
    memcpy(target->mask_.get(), mask_.get(), bytes);
}

void CursorWithMask::copyTo(Cursor* target) const {
  Rect r = getRect();
  target->setRect(r);
  ManagedPixelBuffer& dest = target->image();
  ManagedPixelBuffer converted(dest.getPF(), r, dest.getColourMap());
  compositeRect(&image_, r.tl, &converted, r, srcCopy);
  if (size_t bytes = dest.sizeBytes())
    memset(dest.getDataRW(r, nullptr), 0, bytes);
  if (r.isEmpty())
    return;
  int stride = 0;
  maskedImageRect(&dest, r, converted.getData(r, &stride), mask_.get(), stride, maskStride());
}

void CursorWithMask::addOutline(uint32_t pixel) {
  Rect r = getRect();
  int w = image_.width(), h = image_.height();
  if (w == 0 || h == 0)
    return;
  ManagedPixelBuffer outlined(image_.getPF(), r, image_.getColourMap());
  outlined.fillRect(r, pixel);
  drawInto(&outlined, Point(0, 0));

  int stride = maskStride();
  size_t bytes = maskBytes();
  std::unique_ptr<uint8_t[]> grown(new uint8_t[bytes]);
  for (int y = 0; y < h; y++) {
    const uint8_t* row = mask_.get() + size_t(y) * size_t(stride);
    uint8_t* out = grown.get() + size_t(y) * size_t(stride);
    for (int x = 0; x < stride; x++) {
      uint8_t m = row[x];
      uint8_t g = uint8_t(m | m << 1 | m >> 1);
      if (x + 1 < stride)
        g |= uint8_t(row[x + 1] >> 7);
      if (x > 0)
        g |= uint8_t(row[x - 1] << 7);
      if (y > 0)
        g |= row[x - stride];
      if (y + 1 < h)
        g |= row[x + stride];
      out[x] = g;
    }
    // Bits past the last column stay clear, as in any other mask.
    if (w % 8)
      out[stride - 1] &= uint8_t(0xFF << (8 - w % 8));
  }
  takeImage(outlined);
  mask_ = std::move(grown);
  maskCapacity_ = bytes;
}

} // namespace rfb
