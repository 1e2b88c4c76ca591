#include "rfb/ColourCube.h"

#include "plat/Assert.h"

namespace rfb {

ColourCube::ColourCube(int reds, int greens, int blues)
    : nRed_(reds), nGreen_(greens), nBlue_(blues) {
  PLAT_ASSERT(reds >= 2 && greens >= 2 && blues >= 2);
  table_.resize(size_t(size()));
  for (size_t i = 0; i < table_.size(); i++)
    table_[i] = uint32_t(i);
}

static int levelToComponent(int level, int count) {
  return (level * 255 + (count - 1) / 2) / (count - 1);
}

static int componentToLevel(int component, int count) {
  if (component < 0)
    component = 0;
  if (component > 255)
    component = 255;
  return (component * (count - 1) + 127) / 255;
}

void ColourCube::lookup(int index, Colour* colour) {
  if (index < 0 || index >= size())
    return;
  int b = index % nBlue_;
  int g = (index / nBlue_) % nGreen_;
  int r = index / nBlue_ / nGreen_;
  colour->r = levelToComponent(r, nRed_);
  colour->g = levelToComponent(g, nGreen_);
  colour->b = levelToComponent(b, nBlue_);
}

int ColourCube::lookupRGB(const Colour& colour) {
  int index = indexOf(componentToLevel(colour.r, nRed_), componentToLevel(colour.g, nGreen_),
                      componentToLevel(colour.b, nBlue_));
  return int(table_[size_t(index)]);
}

} // namespace rfb
