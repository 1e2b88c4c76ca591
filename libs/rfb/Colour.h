// A colour of three 0-255 components held in ints.
#pragma once

namespace rfb {

struct Colour {
  constexpr Colour() : r(0), g(0), b(0) {}
  constexpr Colour(int r_, int g_, int b_) : r(r_), g(g_), b(b_) {}
  constexpr bool operator==(const Colour& o) const { return r == o.r && g == o.g && b == o.b; }
  constexpr bool operator!=(const Colour& o) const { return !(*this == o); }

  int r;
  int g;
  int b;
};

} // namespace rfb
