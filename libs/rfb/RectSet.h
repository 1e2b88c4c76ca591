// An arbitrary set of pixels as disjoint 16-bit boxes in y-x banded order:
// the value type that carries damage and clipping areas. The algebra is
// miRegion's; the set owns its box list (empty and single-rectangle sets
// allocate nothing). Rectangles are clamped to -32768..32767 on the way in.
#pragma once

#include "rfb/Rect.h"
#include "rfb/miRegion.h"

#include "plat/String.h"

#include <cstdint>
#include <vector>

namespace rdr {
class InStream;
class OutStream;
} // namespace rdr

namespace rfb {

class RectSet {
public:
  using Box = miRegion::Box;

  RectSet();
  RectSet(const RectSet& other);
  // The set of one rectangle (clamped); an empty rectangle gives the empty set.
  explicit RectSet(const Rect& r);
  ~RectSet();
  RectSet& operator=(const RectSet& other);

  // The union of the source's boxes, each grown outward to multiples of grid
  // (at least 1), then clamped.
  static RectSet alignedTo(const RectSet& source, int grid);

  // Empties the set, keeping an owned list's storage.
  void clear();
  // An empty box clears; otherwise the set becomes that one box.
  void setRect(const Box& box);
  // Takes count boxes already in banded order with their extents.
  void setRects(int64_t count, const Box* boxes, const Box& extents);
  // The union of the rectangles (each clamped).
  void fromRects(const std::vector<Rect>& rects);

  // The set becomes a op b (a or b may be the set itself); false when the
  // result is broken by memory exhaustion (it then behaves as empty).
  bool setUnion(const RectSet& a, const RectSet& b);
  bool setIntersect(const RectSet& a, const RectSet& b);
  bool setSubtract(const RectSet& a, const RectSet& b);
  void translate(const Point& delta);

  bool equals(const RectSet& other) const;
  bool contains(const Point& p) const;
  bool isEmpty() const { return miRegion::miNumRects(&reg_) == 0; }
  bool isBroken() const { return miRegion::miIsBroken(&reg_); }
  int64_t numRects() const { return miRegion::miNumRects(&reg_); }
  const Box& extents() const { return reg_.extents; }
  Rect boundingRect() const { return toRect(reg_.extents); }
  // The boxes in iteration order: bands top to bottom, each left to right.
  const Box* begin() const { return miRegion::miBoxes(&reg_); }
  const Box* end() const { return begin() + numRects(); }
  std::vector<Rect> rects() const;

  // "num rects %3d extents %s\n" then "    rect %s\n" per box.
  plat::String describe() const;

  // The wire form: a u16 count (0 empty, 1 one rectangle), the extents, and
  // for two or more boxes the boxes; each box four big-endian 16-bit values.
  // Reading replaces the set only once the whole form has been read; a count
  // or boxes that break the banded invariants throw plat::Exception.
  void read(rdr::InStream& is);
  void write(rdr::OutStream& os) const;
  static Box readBox(rdr::InStream& is);
  static void writeBox(rdr::OutStream& os, const Box& b);

  static Box toBox(const Rect& r);
  static Rect toRect(const Box& b) { return Rect(b.x1, b.y1, b.x2, b.y2); }

  // The algebra's record, for the invariant self-check of tests.
  const miRegion::Region* region() const { return &reg_; }

private:
  // The set becomes the union of the boxes (reordered; empty ones dropped).
  void setUnionOf(std::vector<Box>& boxes);

  miRegion::Region reg_;
};

} // namespace rfb
