// An indexed colour table, read-only face: colour-mapped pixel buffers carry
// one (not owned unless a buffer says so).
#pragma once

#include "rfb/Colour.h"

namespace rfb {

class ColourMap {
public:
  virtual ~ColourMap();
  virtual void lookup(int index, Colour* colour) = 0;
  virtual int size() = 0;
  // The index of the nearest entry (squared distance, first of equals);
  // 0 for an empty map.
  virtual int lookupRGB(const Colour& colour);
  virtual bool isOrthogonal() { return false; }
};

} // namespace rfb
