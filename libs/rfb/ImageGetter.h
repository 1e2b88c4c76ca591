// Something that copies the pixels of a rectangle into a caller's memory.
#pragma once

#include "rfb/Rect.h"

namespace rfb {

class ImageGetter {
public:
  virtual ~ImageGetter();
  // Copies the rectangle (which must lie inside the source) to dest, whose
  // rows are destStride pixels apart (0: the rectangle's width).
  virtual void getImage(void* dest, const Rect& r, int destStride = 0) = 0;
};

} // namespace rfb
