#include "rfb/Cursor.h"

#include <algorithm>

namespace rfb {

Cursor::Cursor() = default;

Cursor::~Cursor() = default;

void Cursor::setRect(const Rect& r) {
  image_.setSize(r.width(), r.height());
  moveImage(r);
}

Rect Cursor::visibleBox() {
  int w = image_.width(), h = image_.height();
  if (w == 0 || h == 0)
    return getRect();
  Point hot = hotspot();
  hot.x = std::min(std::max(hot.x, 0), w - 1);
  hot.y = std::min(std::max(hot.y, 0), h - 1);
  Rect whole = Rect::at(hot.negate(), w, h);
  moveImage(whole);
  Rect box(0, 0, 1, 1);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      if (isVisible(x, y))
        box = box.unionBoundary(Rect(x, y, x + 1, y + 1).translate(whole.tl));
  return box;
}

// The buffer keeps its origin only through setData: hand it its own memory
// back with the new place.
void Cursor::moveImage(const Rect& r) {
  size_t capacity = image_.capacity();
  uint8_t* memory = image_.detachData();
  image_.setData(memory, capacity, r);
}

void Cursor::takeImage(ManagedPixelBuffer& other) {
  Rect r = other.getRect();
  size_t capacity = other.capacity();
  image_.setPF(other.getPF());
  image_.setColourMap(other.getColourMap(), false);
  image_.setData(other.detachData(), capacity, r);
}

const uint8_t* Cursor::pixels() const {
  int stride = 0;
  return image_.getData(getRect(), &stride);
}

} // namespace rfb
