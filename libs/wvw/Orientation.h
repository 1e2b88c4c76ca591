// The axis a bar or slider runs along. Widgets that differ only by axis are
// written once in terms of "along" (the axis of motion) and "across".
#pragma once

#include "rfb/Rect.h"

namespace wvw {

enum class Orientation { Horizontal, Vertical };

// The coordinate of p along the axis.
inline int along(Orientation o, const rfb::Point& p) {
  return o == Orientation::Horizontal ? p.x : p.y;
}

// The coordinate of p across the axis.
inline int across(Orientation o, const rfb::Point& p) {
  return o == Orientation::Horizontal ? p.y : p.x;
}

// The point that lies alongValue along the axis and acrossValue across it.
inline rfb::Point pointAlong(Orientation o, int alongValue, int acrossValue) {
  return o == Orientation::Horizontal ? rfb::Point(alongValue, acrossValue)
                                      : rfb::Point(acrossValue, alongValue);
}

} // namespace wvw
