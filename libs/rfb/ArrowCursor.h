// The built-in pointer: a 12 x 21 black arrow with a white inside, hotspot at
// its tip (the top-left pixel). The colour map, for colour-mapped layouts,
// belongs to the caller and must outlive the cursor.
#pragma once

#include "rfb/CursorWithMask.h"

namespace rfb {

class ArrowCursor : public CursorWithMask {
public:
  ArrowCursor(const PixelLayout& pf, ColourMap* cm);
  ~ArrowCursor() override;

  uint32_t blackPixel() const { return black_; }
  uint32_t whitePixel() const { return white_; }

private:
  // The pixel value of a colour in the image's layout, as stored in memory.
  uint32_t pixelOf(const Colour& c) const;
  // A run on row y from x0 to x1 (inclusive): black ends, white inside.
  void run(int x0, int x1, int y);

  uint32_t black_;
  uint32_t white_;
};

} // namespace rfb
