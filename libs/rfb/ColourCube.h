// A colour map that is a regular grid of red, green and blue levels: cell
// (r, g, b) is number (r x nGreen + g) x nBlue + b and maps to the pixel value
// in its table entry. The cube owns its table. Used as the colour map of
// colour-mapped outputs (pseudo-colour displays, translated buffers).
#pragma once

#include "rfb/ColourMap.h"

#include <cstdint>
#include <memory>

namespace rfb {

class ColourCube : public ColourMap {
public:
  // Every count must be at least 2. Without a table, entry i holds i (pixel
  // values are cell numbers); a given table needs nRed x nGreen x nBlue
  // entries.
  ColourCube(int nRed, int nGreen, int nBlue, std::unique_ptr<uint32_t[]> table = nullptr);
  ~ColourCube() override;
  ColourCube(const ColourCube&) = delete;
  ColourCube& operator=(const ColourCube&) = delete;

  // The colour of a cell number; an index outside the cube leaves the colour
  // as it was.
  void lookup(int index, Colour* colour) override;
  int size() override { return nRed_ * nGreen_ * nBlue_; }
  // The table entry of the nearest level of each channel; channels outside
  // 0-255 count as the nearest end.
  int lookupRGB(const Colour& colour) override;
  bool isOrthogonal() override { return true; }

  int cellNumber(int redLevel, int greenLevel, int blueLevel) const {
    return (redLevel * nGreen_ + greenLevel) * nBlue_ + blueLevel;
  }
  // The pixel value that cell holds (the cell number itself without a table).
  uint32_t pixelOf(int cell) const { return table_ ? table_[cell] : uint32_t(cell); }
  int nRed() const { return nRed_; }
  int nGreen() const { return nGreen_; }
  int nBlue() const { return nBlue_; }

private:
  std::unique_ptr<uint32_t[]> table_;
  int nRed_;
  int nGreen_;
  int nBlue_;
};

} // namespace rfb
