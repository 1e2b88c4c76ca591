#include "rfb/RectSet.h"

#include "plat/Assert.h"
#include "plat/DString.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "rdr/InStream.h"
#include "rdr/OutStream.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

static plat::LogWriter vlog("RectSet");

namespace rfb {

using namespace miRegion;

static int16_t clamp16(int v) {
  return int16_t(std::clamp<int>(v, INT16_MIN, INT16_MAX));
}

RectSet::Box RectSet::toBox(const Rect& r) {
  return {clamp16(r.tl.x), clamp16(r.tl.y), clamp16(r.br.x), clamp16(r.br.y)};
}

RectSet::RectSet() : reg_{miEmptyBox, &miEmptyData} {
}

RectSet::RectSet(const RectSet& other) : RectSet() {
  miCopy(&reg_, &other.reg_);
}

RectSet::RectSet(const Rect& r) : RectSet() {
  setRect(toBox(r));
}

RectSet::~RectSet() {
  miFreeData(&reg_);
}

RectSet& RectSet::operator=(const RectSet& other) {
  miCopy(&reg_, &other.reg_);
  return *this;
}

// Lowers v to a multiple of grid (mathematical modulo for negative values).
static int64_t floorTo(int64_t v, int64_t grid) {
  int64_t m = v % grid;
  if (m < 0)
    m += grid;
  return v - m;
}

// The union of boxes sorted by their top, in one sweep from top to bottom.
// Band by band (between two rows where a box starts or ends) the boxes that
// cover the band are kept in order of their left edge; their overlapping or
// touching x-ranges merge into the band's boxes, and a band equal to the one
// right above it extends that one. That is the banded form of the union.
// Each band costs a pass over the boxes that cover it, so the caller keeps
// the number of boxes small.
static void sweepUnion(const Box* boxes, size_t n, std::vector<Box>& active,
                       std::vector<Box>& out) {
  auto byLeft = [](const Box& a, const Box& b) { return a.x1 < b.x1; };
  active.clear();
  out.clear();
  size_t next = 0, bandStart = 0, bandEnd = 0; // the last band is out[bandStart, bandEnd)
  int y = boxes[0].y1;
  while (next < n || !active.empty()) {
    if (active.empty())
      y = boxes[next].y1;
    for (; next < n && boxes[next].y1 == y; next++)
      active.insert(std::upper_bound(active.begin(), active.end(), boxes[next], byLeft),
                    boxes[next]);
    int bottom = next < n ? boxes[next].y1 : INT_MAX;
    for (const Box& b : active)
      bottom = std::min<int>(bottom, b.y2);
    size_t first = out.size();
    for (const Box& b : active) {
      if (out.size() > first && b.x1 <= out.back().x2)
        out.back().x2 = std::max(out.back().x2, b.x2);
      else
        out.push_back({b.x1, int16_t(y), b.x2, int16_t(bottom)});
    }
    bool same =
        bandEnd > bandStart && out[bandStart].y2 == y &&
        out.size() - first == bandEnd - bandStart &&
        std::equal(out.begin() + ptrdiff_t(first), out.end(), out.begin() + ptrdiff_t(bandStart),
                   [](const Box& a, const Box& b) { return a.x1 == b.x1 && a.x2 == b.x2; });
    if (same) {
      out.resize(first);
      for (size_t i = bandStart; i < bandEnd; i++)
        out[i].y2 = int16_t(bottom);
    } else {
      bandStart = first;
      bandEnd = out.size();
    }
    active.erase(std::remove_if(active.begin(), active.end(),
                                [bottom](const Box& b) { return b.y2 <= bottom; }),
                 active.end());
    y = bottom;
  }
}

// The union of the boxes. Sorted by their top, the boxes are swept in groups
// of up to 1024 (neighbours in the sort, so each group's union is compact);
// the groups' unions are then united two by two, the results two by two,
// and so on, each step joining sets that lie mostly one above the other.
// That costs about log n passes over the boxes instead of the n passes of
// uniting one box at a time, and a union does not depend on the order in
// which it was built: the boxes are those of the one-at-a-time result.
void RectSet::setUnionOf(std::vector<Box>& boxes) {
  clear();
  boxes.erase(std::remove_if(boxes.begin(), boxes.end(),
                             [](const Box& b) { return b.x1 >= b.x2 || b.y1 >= b.y2; }),
              boxes.end());
  if (boxes.empty())
    return;
  const size_t group = 1024;
  try {
    std::sort(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.y1 < b.y1; });
    std::vector<RectSet> sets((boxes.size() + group - 1) / group);
    std::vector<Box> active, out;
    for (size_t i = 0; i < sets.size(); i++) {
      size_t from = i * group;
      sweepUnion(&boxes[from], std::min(group, boxes.size() - from), active, out);
      Box extents = {out.front().x1, out.front().y1, out.front().x2, out.back().y2};
      for (const Box& b : out) {
        extents.x1 = std::min(extents.x1, b.x1);
        extents.x2 = std::max(extents.x2, b.x2);
      }
      sets[i].setRects(int64_t(out.size()), out.data(), extents);
    }
    for (size_t step = 1; step < sets.size(); step *= 2)
      for (size_t i = 0; i + step < sets.size(); i += 2 * step) {
        sets[i].setUnion(sets[i], sets[i + step]);
        sets[i + step] = RectSet(); // its list is no longer needed
      }
    std::swap(reg_, sets[0].reg_);
  } catch (const std::bad_alloc&) {
    miBreak(&reg_);
  }
}

RectSet RectSet::alignedTo(const RectSet& source, int grid) {
  PLAT_ASSERT(grid >= 1);
  std::vector<Box> boxes;
  boxes.reserve(size_t(source.numRects()));
  for (const Box& b : source) {
    Box g;
    g.x1 = clamp16(int(std::max<int64_t>(floorTo(b.x1, grid), INT16_MIN)));
    g.y1 = clamp16(int(std::max<int64_t>(floorTo(b.y1, grid), INT16_MIN)));
    g.x2 = clamp16(int(std::min<int64_t>(floorTo(int64_t(b.x2) + grid - 1, grid), INT16_MAX)));
    g.y2 = clamp16(int(std::min<int64_t>(floorTo(int64_t(b.y2) + grid - 1, grid), INT16_MAX)));
    boxes.push_back(g);
  }
  RectSet result;
  result.setUnionOf(boxes);
  return result;
}

void RectSet::clear() {
  reg_.extents = miEmptyBox;
  if (reg_.data && reg_.data->size)
    reg_.data->numRects = 0;
  else
    reg_.data = &miEmptyData;
}

void RectSet::setRect(const Box& b) {
  if (b.x1 >= b.x2 || b.y1 >= b.y2) {
    clear();
    return;
  }
  miFreeData(&reg_);
  reg_.extents = b;
  reg_.data = nullptr;
}

void RectSet::setRects(int64_t count, const Box* boxes, const Box& extents) {
  if (count <= 0) {
    clear();
    return;
  }
  if (count == 1) {
    setRect(extents);
    return;
  }
  if (!reg_.data || reg_.data->size < count) {
    miFreeData(&reg_);
    reg_.data = &miEmptyData;
    if (!miAllocRects(&reg_, count)) {
      fprintf(stderr, "failed to re-allocate data\n");
      return;
    }
  }
  memcpy(miBoxes(reg_.data), boxes, size_t(count) * sizeof(Box));
  reg_.data->numRects = count;
  reg_.extents = extents;
}

void RectSet::fromRects(const std::vector<Rect>& rects) {
  std::vector<Box> boxes;
  boxes.reserve(rects.size());
  for (const Rect& r : rects)
    boxes.push_back(toBox(r));
  setUnionOf(boxes);
}

bool RectSet::setUnion(const RectSet& a, const RectSet& b) {
  return miUnionRegions(&reg_, &a.reg_, &b.reg_);
}

bool RectSet::setIntersect(const RectSet& a, const RectSet& b) {
  return miIntersectRegions(&reg_, &a.reg_, &b.reg_);
}

bool RectSet::setSubtract(const RectSet& a, const RectSet& b) {
  return miSubtractRegions(&reg_, &a.reg_, &b.reg_);
}

void RectSet::translate(const Point& delta) {
  miTranslate(&reg_, delta.x, delta.y);
}

bool RectSet::equals(const RectSet& other) const {
  return miEqual(&reg_, &other.reg_);
}

bool RectSet::contains(const Point& p) const {
  return miContainsPoint(&reg_, p.x, p.y, nullptr);
}

std::vector<Rect> RectSet::rects() const {
  std::vector<Rect> out;
  out.reserve(size_t(numRects()));
  for (const Box& b : *this)
    out.push_back(toRect(b));
  return out;
}

RectSet::Box RectSet::readBox(rdr::InStream& is) {
  Box b;
  b.x1 = is.readS16();
  b.y1 = is.readS16();
  b.x2 = is.readS16();
  b.y2 = is.readS16();
  return b;
}

void RectSet::writeBox(rdr::OutStream& os, const Box& b) {
  os.writeS16(b.x1);
  os.writeS16(b.y1);
  os.writeS16(b.x2);
  os.writeS16(b.y2);
}

void RectSet::write(rdr::OutStream& os) const {
  int64_t n = numRects();
  PLAT_ASSERT(n <= UINT16_MAX);
  os.writeU16(uint16_t(n));
  writeBox(os, reg_.extents);
  if (n >= 2)
    for (const Box& b : *this)
      writeBox(os, b);
}

void RectSet::read(rdr::InStream& is) {
  uint16_t count = is.readU16();
  Box extents = readBox(is);
  if (count == 0) {
    // An empty set has empty extents, whatever the peer sent.
    clear();
    reg_.extents.x1 = reg_.extents.x2 = extents.x1;
    reg_.extents.y1 = reg_.extents.y2 = extents.y1;
    return;
  }
  if (count == 1) {
    if (extents.x1 >= extents.x2 || extents.y1 >= extents.y2)
      throw plat::Exception("region of one empty rectangle on stream");
    setRect(extents);
    return;
  }
  // The boxes are taken in runs of those already in the stream's window, so
  // the list grows only with bytes that are really there, whatever count
  // the peer claims.
  std::vector<Box> boxes;
  while (boxes.size() < count) {
    uint8_t one[8];
    int n = int(count - boxes.size());
    const uint8_t* p = is.getItems(one, 8, &n);
    for (int i = 0; i < n; i++, p += 8)
      boxes.push_back(Box{int16_t(p[0] << 8 | p[1]), int16_t(p[2] << 8 | p[3]),
                          int16_t(p[4] << 8 | p[5]), int16_t(p[6] << 8 | p[7])});
  }
  Region check = {extents, nullptr};
  std::vector<uint8_t> block(sizeof(RegData) + boxes.size() * sizeof(Box));
  RegData* d = reinterpret_cast<RegData*>(block.data());
  d->size = count;
  d->numRects = count;
  memcpy(miBoxes(d), boxes.data(), boxes.size() * sizeof(Box));
  check.data = d;
  if (!miValid(&check))
    throw plat::Exception("region on stream is not in banded order");
  if (!reg_.data || reg_.data->size < count) {
    miFreeData(&reg_);
    reg_.data = &miEmptyData;
    reg_.extents = miEmptyBox;
    if (!miAllocRects(&reg_, count)) {
      reg_.data = &miEmptyData;
      throw plat::Exception("failed to allocate region buffer");
    }
  }
  memcpy(miBoxes(reg_.data), boxes.data(), boxes.size() * sizeof(Box));
  reg_.data->numRects = count;
  reg_.extents = extents;
}

static void formatBox(char (&buf)[64], const RectSet::Box& b) {
  snprintf(buf, sizeof(buf), "%d,%d to %d,%d", b.x1, b.y1, b.x2, b.y2);
}

plat::String RectSet::describe() const {
  plat::DString out;
  char buf[64];
  formatBox(buf, reg_.extents);
  out.appendFormat("num rects %3d extents %s\n", int(numRects()), buf);
  for (const Box& b : *this) {
    formatBox(buf, b);
    out.appendFormat("    rect %s\n", buf);
  }
  return out.str();
}

} // namespace rfb
