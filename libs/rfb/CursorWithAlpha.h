// A cursor whose pixels carry an alpha channel (premultiplied colours). It is
// composited over whatever lies under it; converted into a mask cursor, a
// pixel is shown when its alpha is above the alpha threshold.
#pragma once

#include "rfb/Cursor.h"

namespace rfb {

class CursorWithAlpha : public Cursor {
public:
  // The layout is made little-endian where its channels are whole bytes;
  // the image takes it and r.
  CursorWithAlpha(const PixelLayout& pf, const Rect& r);
  ~CursorWithAlpha() override;

  void drawInto(WritablePixelBuffer* dest, const Point& p) override;
  std::unique_ptr<Cursor> clone() const override;
  // Equal to another alpha cursor of an equal layout, place and pixel bytes.
  bool equals(const Cursor& other) const override;
  // Always null: the colours are not reduced to two.
  std::unique_ptr<uint8_t[]> getBitmask(uint32_t* pixel0, uint32_t* pixel1) const override;
  void crop() override;
  // The target gets the un-premultiplied colours and a mask of the pixels
  // whose alpha is above the threshold.
  void copyToWithMask(CursorWithMask* target) const override;
  void copyTo(Cursor* target) const override;

  int alphaThreshold() const { return alphaThreshold_; }

protected:
  bool isVisible(int x, int y) const override;

private:
  int alphaAt(int x, int y) const;

  int alphaThreshold_;
};

} // namespace rfb
