// A colour map laid out as a cube of red, green and blue levels: entry
// (r * greens + g) * blues + b holds the pixel value standing for those
// levels. Used for colour-mapped displays, where each entry is a cell
// allocated in the display's colour map, and as an identity map for
// colour-mapped pixel buffers. Owns its table.
#pragma once

#include "rfb/ColourMap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rfb {

class ColourCube : public ColourMap {
public:
  // Every entry starts as its own index.
  ColourCube(int reds, int greens, int blues);

  // The colour of an index: each level scaled to 0-255; an index beyond the
  // cube leaves the colour untouched.
  void lookup(int index, Colour* colour) override;
  int size() override { return nRed_ * nGreen_ * nBlue_; }
  // The pixel value of the entry at the levels nearest to the colour.
  int lookupRGB(const Colour& colour) override;
  bool isOrthogonal() override { return true; }

  int indexOf(int r, int g, int b) const { return (r * nGreen_ + g) * nBlue_ + b; }
  void set(int index, uint32_t pixel) { table_[size_t(index)] = pixel; }
  uint32_t get(int index) const { return table_[size_t(index)]; }
  int reds() const { return nRed_; }
  int greens() const { return nGreen_; }
  int blues() const { return nBlue_; }

private:
  std::vector<uint32_t> table_;
  int nRed_;
  int nGreen_;
  int nBlue_;
};

} // namespace rfb
