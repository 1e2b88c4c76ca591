// Test helpers for region sets: box lists as text and the invariant check.
#pragma once

#include "rfb/RectSet.h"

#include <string>

inline std::string boxesOf(const rfb::RectSet& s) {
  std::string out;
  for (const rfb::RectSet::Box& b : s) {
    if (!out.empty())
      out += "; ";
    out += std::to_string(b.x1) + "," + std::to_string(b.y1) + "," + std::to_string(b.x2) + "," +
           std::to_string(b.y2);
  }
  return out;
}
