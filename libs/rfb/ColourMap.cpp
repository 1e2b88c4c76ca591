#include "rfb/ColourMap.h"
#include "rfb/ColourMapRW.h"

#include "plat/LogWriter.h"

#include <climits>

static plat::LogWriter vlog("ColourMap");

namespace rfb {

ColourMap::~ColourMap() = default;

int ColourMap::lookupRGB(const Colour& c) {
  int best = 0;
  int bestDistance = INT_MAX;
  int n = size();
  for (int i = 0; i < n; i++) {
    Colour e;
    lookup(i, &e);
    int dr = e.r - c.r, dg = e.g - c.g, db = e.b - c.b;
    int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

static int reduce16(unsigned v) {
  return int((v - (v >> 8) + 127) >> 8);
}

void ColourMapRW::setEntries(int first, int count, const uint16_t* rgb) {
  for (int i = 0; i < count; i++, rgb += 3)
    setEntry(first + i, Colour(reduce16(rgb[0]), reduce16(rgb[1]), reduce16(rgb[2])));
}

void ColourMapRW::copyFrom(ColourMap* other) {
  int n = other->size();
  for (int i = 0; i < n; i++) {
    Colour c;
    other->lookup(i, &c);
    setEntry(i, c);
  }
}

} // namespace rfb
