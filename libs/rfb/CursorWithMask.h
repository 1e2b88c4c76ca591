// A cursor of pixels and a one-bit mask: (width + 7) / 8 bytes a row, rows
// top to bottom, the leftmost pixel in the most significant bit; a set bit
// shows the pixel. The cursor owns its mask.
#pragma once

#include "rfb/Cursor.h"

#include <cstddef>

namespace rfb {

class CursorWithMask : public Cursor {
public:
  // An empty image and no mask.
  CursorWithMask();
  ~CursorWithMask() override;

  void drawInto(WritablePixelBuffer* dest, const Point& p) override;
  std::unique_ptr<Cursor> clone() const override;
  // Equal to another mask cursor with the same place and mask whose shown
  // pixels have the same values.
  bool equals(const Cursor& other) const override;
  std::unique_ptr<uint8_t[]> getBitmask(uint32_t* pixel0, uint32_t* pixel1) const override;
  void crop() override;
  void copyToWithMask(CursorWithMask* target) const override;
  void copyTo(Cursor* target) const override;
  // Also sizes the mask, which then shows nothing.
  void setRect(const Rect& r) override;

  // Gives the shown shape a one-pixel border of the given pixel value, inside
  // the cursor's rectangle.
  void addOutline(uint32_t pixel);

  uint8_t* mask() { return mask_.get(); }
  const uint8_t* mask() const { return mask_.get(); }
  int maskStride() const { return (image_.width() + 7) / 8; }
  size_t maskBytes() const { return size_t(maskStride()) * size_t(image_.height()); }
  // Whether the pixel at p (0, 0 being the image's top-left) is shown.
  bool isShown(int x, int y) const;

protected:
  bool isVisible(int x, int y) const override;
  void setShown(int x, int y);

private:
  std::unique_ptr<uint8_t[]> mask_;
  size_t maskCapacity_;
};

} // namespace rfb
