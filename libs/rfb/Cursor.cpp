#include "rfb/Cursor.h"

namespace rfb {

Cursor::Cursor() = default;

Cursor::~Cursor() = default;

void Cursor::setRect(const Rect& r) {
  image_.setSize(r.width(), r.height());
  moveImage(r);
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
