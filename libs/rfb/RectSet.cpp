#include "rfb/RectSet.h"

#include "plat/Assert.h"
#include "plat/DString.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "rdr/InStream.h"
#include "rdr/OutStream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

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

// The union of the boxes, built pairwise: boxes sorted by their top are
// united two by two, then the results two by two, and so on. Each step
// unites sets of about equal size that lie mostly one above the other, so
// the whole costs about log n passes over the boxes instead of the n passes
// of uniting one box at a time. A union does not depend on the order in
// which it was built: the boxes are those of the one-at-a-time result.
void RectSet::setUnionOf(std::vector<Box>& boxes) {
  clear();
  boxes.erase(std::remove_if(boxes.begin(), boxes.end(),
                             [](const Box& b) { return b.x1 >= b.x2 || b.y1 >= b.y2; }),
              boxes.end());
  if (boxes.empty())
    return;
  std::sort(boxes.begin(), boxes.end(),
            [](const Box& a, const Box& b) { return a.y1 != b.y1 ? a.y1 < b.y1 : a.x1 < b.x1; });
  std::vector<RectSet> sets(boxes.size());
  for (size_t i = 0; i < boxes.size(); i++)
    sets[i].setRect(boxes[i]);
  for (size_t step = 1; step < sets.size(); step *= 2)
    for (size_t i = 0; i + step < sets.size(); i += 2 * step) {
      sets[i].setUnion(sets[i], sets[i + step]);
      sets[i + step] = RectSet(); // its list is no longer needed
    }
  std::swap(reg_, sets[0].reg_);
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
  std::vector<Box> boxes(count);
  for (Box& b : boxes)
    b = readBox(is);
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
