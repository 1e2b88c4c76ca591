// A rectangle of int coordinates: top-left inclusive, bottom-right exclusive.
// It is empty when left is not below right or top is not below bottom.
#pragma once

#include "rfb/Point.h"

#include <algorithm>
#include <climits>

namespace rfb {

struct Rect {
  constexpr Rect() = default;
  constexpr Rect(int left, int top, int right, int bottom) : tl(left, top), br(right, bottom) {}
  constexpr Rect(const Point& topLeft, const Point& bottomRight) : tl(topLeft), br(bottomRight) {}

  // The rectangle of a size at a position; one that would reach beyond the
  // int range ends at its end.
  static constexpr Rect at(const Point& topLeft, int width, int height) {
    return Rect(topLeft.x, topLeft.y, addClamped(topLeft.x, width), addClamped(topLeft.y, height));
  }

  constexpr int width() const { return br.x - tl.x; }
  constexpr int height() const { return br.y - tl.y; }
  constexpr bool isEmpty() const { return tl.x >= br.x || tl.y >= br.y; }
  constexpr bool contains(const Point& p) const {
    return tl.x <= p.x && p.x < br.x && tl.y <= p.y && p.y < br.y;
  }
  constexpr bool equals(const Rect& r) const { return tl == r.tl && br == r.br; }
  constexpr bool operator==(const Rect& r) const { return equals(r); }
  constexpr bool operator!=(const Rect& r) const { return !equals(r); }

  // The common part; may be empty (then with right/bottom not beyond left/top).
  constexpr Rect intersect(const Rect& r) const {
    return Rect(std::max(tl.x, r.tl.x), std::max(tl.y, r.tl.y), std::min(br.x, r.br.x),
                std::min(br.y, r.br.y));
  }
  // The smallest rectangle holding both; an empty operand does not count.
  constexpr Rect unionBoundary(const Rect& r) const {
    if (r.isEmpty())
      return *this;
    if (isEmpty())
      return r;
    return Rect(std::min(tl.x, r.tl.x), std::min(tl.y, r.tl.y), std::max(br.x, r.br.x),
                std::max(br.y, r.br.y));
  }
  constexpr Rect translate(const Point& p) const { return Rect(tl.translate(p), br.translate(p)); }

  Point tl;
  Point br;

private:
  static constexpr int addClamped(int a, int b) {
    long long s = static_cast<long long>(a) + b;
    return s > INT_MAX ? INT_MAX : s < INT_MIN ? INT_MIN : static_cast<int>(s);
  }
};

} // namespace rfb
