// A pointer image with a hotspot. The image is a pixel buffer placed so that
// the hotspot is the point (0, 0): a w x h cursor with hotspot (hx, hy)
// covers (-hx, -hy) .. (w - hx, h - hy), and drawing it at a point puts the
// hotspot there. The cursor owns its image memory; a colour map set on the
// image belongs to the caller. Kinds: CursorWithMask (pixels plus a one-bit
// mask) and CursorWithAlpha (pixels with an alpha channel).
#pragma once

#include "rfb/ManagedPixelBuffer.h"

#include <cstdint>
#include <memory>

namespace rfb {

class CursorWithMask;

class Cursor {
public:
  Cursor();
  virtual ~Cursor();
  Cursor(const Cursor&) = delete;
  Cursor& operator=(const Cursor&) = delete;

  // Draws the cursor with its hotspot at p, clipped to dest.
  virtual void drawInto(WritablePixelBuffer* dest, const Point& p) = 0;
  virtual std::unique_ptr<Cursor> clone() const = 0;
  virtual bool equals(const Cursor& other) const = 0;
  // The two-colour form: a new bit array of the mask's shape, a bit set
  // where the shown pixel is *pixel1 and clear where it is *pixel0 (or not
  // shown); null when the shown pixels take more than two values or the kind
  // has no such form.
  virtual std::unique_ptr<uint8_t[]> getBitmask(uint32_t* pixel0, uint32_t* pixel1) const = 0;
  // Shrinks the image to its visible pixels, keeping the hotspot inside.
  virtual void crop() = 0;
  virtual void copyToWithMask(CursorWithMask* target) const = 0;
  // Makes target a copy of this cursor in target's own layout.
  virtual void copyTo(Cursor* target) const = 0;
  // Places the image at r (r's top-left is minus the hotspot) with r's size;
  // pixels are not kept.
  virtual void setRect(const Rect& r);

  ManagedPixelBuffer& image() { return image_; }
  const ManagedPixelBuffer& image() const { return image_; }
  Rect getRect() const { return image_.getRect(); }
  Point hotspot() const { return image_.getOrigin().negate(); }

protected:
  // Whether the image's pixel at (x, y), (0, 0) being its top-left, shows.
  virtual bool isVisible(int x, int y) const = 0;
  // The first half of a crop: moves the hotspot onto the image's nearest
  // pixel and gives the box of the visible pixels in the cursor's
  // coordinates, with the hotspot's own pixel so that the hotspot stays
  // inside; getRect() when there is nothing to cut.
  Rect visibleBox();
  // Moves the image to r's top-left without touching its pixels; r must
  // have the image's size.
  void moveImage(const Rect& r);
  // Takes over the other image's layout, colour map, place and memory.
  void takeImage(ManagedPixelBuffer& other);
  // The image's pixels at their place as a plain block (stride = width).
  const uint8_t* pixels() const;

  // Mutable: the pixel buffer hands out its memory only through non-const
  // accessors, also for reading.
  mutable ManagedPixelBuffer image_;
};

} // namespace rfb
