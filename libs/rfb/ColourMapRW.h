// A colour table that can be written.
#pragma once

#include "rfb/ColourMap.h"

#include <cstdint>

namespace rfb {

class ColourMapRW : public ColourMap {
public:
  virtual void setEntry(int index, const Colour& colour) = 0;
  // count triples of 16-bit components, each reduced to 8 bits with
  // rounding, set from index first on.
  virtual void setEntries(int first, int count, const uint16_t* rgb);
  // Copies every entry of the other map to the same index.
  virtual void copyFrom(ColourMap* other);
};

} // namespace rfb
