#include "rfb/ColourCube.h"

#include "plat/Assert.h"

namespace rfb {

ColourCube::ColourCube(int nRed, int nGreen, int nBlue, std::unique_ptr<uint32_t[]> table)
    : table_(std::move(table)), nRed_(nRed), nGreen_(nGreen), nBlue_(nBlue) {
  PLAT_ASSERT(nRed >= 2 && nGreen >= 2 && nBlue >= 2);
  if (!table_) {
    int n = size();
    table_.reset(new uint32_t[n]);
    for (int i = 0; i < n; i++)
      table_[i] = uint32_t(i);
  }
}

ColourCube::~ColourCube() = default;

static int levelToValue(int level, int n) {
  return (level * 255 + (n - 1) / 2) / (n - 1);
}

// Colours reach here from arithmetic that does not clamp; a value outside
// 0-255 must not pick a cell outside the table.
static int valueToLevel(int value, int n) {
  int level = ((n - 1) * value + 127) / 255;
  return level < 0 ? 0 : level >= n ? n - 1 : level;
}

void ColourCube::lookup(int index, Colour* colour) {
  if (index < 0 || index >= size())
    return;
  colour->b = levelToValue(index % nBlue_, nBlue_);
  colour->g = levelToValue(index / nBlue_ % nGreen_, nGreen_);
  colour->r = levelToValue(index / nBlue_ / nGreen_, nRed_);
}

int ColourCube::lookupRGB(const Colour& c) {
  return int(table_[cellNumber(valueToLevel(c.r, nRed_), valueToLevel(c.g, nGreen_),
                               valueToLevel(c.b, nBlue_))]);
}

} // namespace rfb
