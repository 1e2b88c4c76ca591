// Small readers of painted pixels for widget tests: the colour at a point,
// how many pixels have a colour, and the box that holds them.
#pragma once

#include "wvw/Widget.h"

#include "rfb/ManagedPixelBuffer.h"

inline uint32_t pixelOf(rfb::ManagedPixelBuffer& pb, const rfb::Colour& c) {
  return wvw::colourToPixel(c, &pb);
}

inline bool isColour(rfb::ManagedPixelBuffer& pb, int x, int y, const rfb::Colour& c) {
  return pb.getPixel(rfb::Point(x, y)) == pixelOf(pb, c);
}

inline int countColour(rfb::ManagedPixelBuffer& pb, const rfb::Colour& c,
                       rfb::Rect area = rfb::Rect()) {
  if (area.isEmpty())
    area = pb.getRect();
  int n = 0;
  for (int y = area.tl.y; y < area.br.y; y++)
    for (int x = area.tl.x; x < area.br.x; x++)
      n += isColour(pb, x, y, c);
  return n;
}

// The smallest rectangle holding every pixel of the colour (empty: none).
inline rfb::Rect boxOf(rfb::ManagedPixelBuffer& pb, const rfb::Colour& c) {
  rfb::Rect box;
  for (int y = 0; y < pb.height(); y++)
    for (int x = 0; x < pb.width(); x++)
      if (isColour(pb, x, y, c))
        box = box.unionBoundary(rfb::Rect(x, y, x + 1, y + 1));
  return box;
}
