// A pixel position (or an offset between two positions) in int coordinates.
#pragma once

namespace rfb {

struct Point {
  constexpr Point() : x(0), y(0) {}
  constexpr Point(int x_, int y_) : x(x_), y(y_) {}

  constexpr Point translate(const Point& p) const { return Point(x + p.x, y + p.y); }
  constexpr Point subtract(const Point& p) const { return Point(x - p.x, y - p.y); }
  constexpr Point negate() const { return Point(-x, -y); }
  constexpr bool equals(const Point& p) const { return x == p.x && y == p.y; }
  constexpr bool operator==(const Point& p) const { return equals(p); }
  constexpr bool operator!=(const Point& p) const { return !equals(p); }

  int x;
  int y;
};

} // namespace rfb
