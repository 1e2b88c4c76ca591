// A rectangle of pixels in one pixel layout, optionally with a colour map
// (not owned here). The buffer covers origin .. origin + (width, height) and
// every coordinate given to it is in that space. Pixels are reached through
// getData: a pointer to a rectangle's top-left pixel and a stride in pixels.
#pragma once

#include "rfb/ColourMap.h"
#include "rfb/ImageGetter.h"
#include "rfb/PixelLayout.h"
#include "rfb/Rect.h"

#include <cstdint>

namespace rfb {

class PixelBuffer : public ImageGetter {
public:
  PixelBuffer();
  PixelBuffer(const PixelLayout& pf, int width, int height, ColourMap* cm);
  PixelBuffer(const PixelLayout& pf, const Rect& r, ColourMap* cm);
  ~PixelBuffer() override;

  // Copies height rows of width x bpp / 8 bytes; no clipping.
  void getImage(void* dest, const Rect& r, int destStride = 0) override;
  virtual ColourMap* getColourMap() const { return colourMap_; }
  // Read-only pointer to the rectangle's top-left pixel; *stride gets the
  // row distance in pixels. No clipping.
  virtual const uint8_t* getData(const Rect& r, int* stride) = 0;

  const PixelLayout& getPF() const { return format_; }
  int width() const { return width_; }
  int height() const { return height_; }
  const Point& getOrigin() const { return origin_; }
  Rect getRect() const { return Rect::at(origin_, width_, height_); }
  int bytesPerPixel() const { return format_.bpp / 8; }

protected:
  PixelLayout format_;
  int width_;
  int height_;
  Point origin_;
  ColourMap* colourMap_;
};

} // namespace rfb
