#include "rfb/miRegion.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace miRegion {

const Box miEmptyBox = {0, 0, 0, 0};
RegData miEmptyData = {0, 0};
RegData miBrokenData = {0, 0};

static const int regionMin = INT16_MIN;
static const int regionMax = INT16_MAX;

// Bytes of a block of n boxes, or 0 when that does not fit in size_t.
static size_t blockBytes(int64_t n) {
  if (n < 0 || uint64_t(n) > (SIZE_MAX - sizeof(RegData)) / sizeof(Box))
    return 0;
  return sizeof(RegData) + size_t(n) * sizeof(Box);
}

static RegData* allocData(int64_t n) {
  size_t bytes = blockBytes(n);
  if (!bytes)
    return nullptr;
  RegData* d = static_cast<RegData*>(malloc(bytes));
  if (!d)
    return nullptr;
  d->size = n;
  d->numRects = 0;
  return d;
}

static bool ownsData(const Region* r) {
  return r->data && r->data->size != 0;
}

void miFreeData(Region* r) {
  if (ownsData(r))
    free(r->data);
}

static void setEmpty(Region* r, RegData* data) {
  miFreeData(r);
  r->extents.x2 = r->extents.x1;
  r->extents.y2 = r->extents.y1;
  r->data = data;
}

bool miBreak(Region* r) {
  miFreeData(r);
  r->extents = miEmptyBox;
  r->data = &miBrokenData;
  return false;
}

bool miAllocRects(Region* r, int64_t n) {
  if (!r->data) {
    RegData* d = allocData(n + 1);
    if (!d)
      return miBreak(r);
    d->numRects = 1;
    miBoxes(d)[0] = r->extents;
    r->data = d;
    return true;
  }
  if (r->data->size == 0) {
    RegData* d = allocData(n);
    if (!d)
      return miBreak(r);
    r->data = d;
    return true;
  }
  int64_t have = r->data->numRects;
  if (n > INT64_MAX - have)
    return miBreak(r);
  if (have + n <= r->data->size)
    return true;
  // Geometric growth, but never less than what is needed: a block kept by
  // clear() holds no boxes, and growing it "by the count" would shrink it.
  int64_t growth = n;
  if (n == 1)
    growth = have > 500 ? 250 : have;
  growth = std::max(growth, n);
  if (growth > INT64_MAX - have)
    return miBreak(r);
  size_t bytes = blockBytes(have + growth);
  RegData* d = bytes ? static_cast<RegData*>(realloc(r->data, bytes)) : nullptr;
  if (!d)
    return miBreak(r);
  d->size = have + growth;
  r->data = d;
  return true;
}

static inline bool addBox(Region* r, int x1, int y1, int x2, int y2) {
  if (r->data->numRects >= r->data->size && !miAllocRects(r, 1))
    return false;
  Box* b = miBoxes(r->data) + r->data->numRects++;
  b->x1 = int16_t(x1);
  b->y1 = int16_t(y1);
  b->x2 = int16_t(x2);
  b->y2 = int16_t(y2);
  return true;
}

bool miCopy(Region* dst, const Region* src) {
  if (dst == src)
    return true;
  dst->extents = src->extents;
  if (!src->data || src->data->size == 0) {
    miFreeData(dst);
    dst->data = src->data;
    return true;
  }
  int64_t n = src->data->numRects;
  if (n == 0) {
    setEmpty(dst, &miEmptyData);
    return true;
  }
  if (!ownsData(dst) || dst->data->size < n) {
    miFreeData(dst);
    dst->data = allocData(n);
    if (!dst->data)
      return miBreak(dst);
  }
  dst->data->numRects = n;
  memmove(miBoxes(dst->data), miBoxes(src), size_t(n) * sizeof(Box));
  return true;
}

void miComputeExtents(Region* r) {
  if (!r->data)
    return;
  if (r->data->size == 0 || r->data->numRects == 0) {
    r->extents.x2 = r->extents.x1;
    r->extents.y2 = r->extents.y1;
    return;
  }
  const Box* b = miBoxes(r->data);
  const Box* end = b + r->data->numRects;
  r->extents.x1 = b->x1;
  r->extents.y1 = b->y1;
  r->extents.x2 = b->x2;
  r->extents.y2 = (end - 1)->y2;
  for (; b < end; b++) {
    if (b->x1 < r->extents.x1)
      r->extents.x1 = b->x1;
    if (b->x2 > r->extents.x2)
      r->extents.x2 = b->x2;
  }
}

// Merges the band starting at curStart into the one starting at prevStart
// when they touch vertically and have the same x-spans. Returns the start of
// the last band of the region.
static int64_t coalesce(Region* r, int64_t prevStart, int64_t curStart) {
  int64_t n = curStart - prevStart;
  if (n == 0 || n != r->data->numRects - curStart)
    return curStart;
  Box* prev = miBoxes(r->data) + prevStart;
  Box* cur = miBoxes(r->data) + curStart;
  if (prev->y2 != cur->y1)
    return curStart;
  for (int64_t i = 0; i < n; i++)
    if (prev[i].x1 != cur[i].x1 || prev[i].x2 != cur[i].x2)
      return curStart;
  int16_t y2 = cur->y2;
  for (int64_t i = 0; i < n; i++)
    prev[i].y2 = y2;
  r->data->numRects -= n;
  return prevStart;
}

using OverlapProc = bool (*)(Region* r, const Box* r1, const Box* r1End, const Box* r2,
                             const Box* r2End, int y1, int y2);

static inline bool reserve(Region* r, int64_t n) {
  return r->data->numRects + n <= r->data->size || miAllocRects(r, n);
}

static bool appendNonOverlap(Region* r, const Box* b, const Box* end, int y1, int y2) {
  if (!reserve(r, end - b))
    return false;
  Box* out = miBoxes(r->data) + r->data->numRects;
  r->data->numRects += end - b;
  if (b->y1 == y1 && b->y2 == y2) { // the whole band: a plain copy
    memcpy(out, b, size_t(end - b) * sizeof(Box));
    return true;
  }
  for (; b != end; b++, out++)
    *out = {b->x1, int16_t(y1), b->x2, int16_t(y2)};
  return true;
}

// Appends whole bands that need neither clipping nor coalescing.
static bool appendBands(Region* r, const Box* b, const Box* end) {
  if (b == end)
    return true;
  if (!reserve(r, end - b))
    return false;
  memcpy(miBoxes(r->data) + r->data->numRects, b, size_t(end - b) * sizeof(Box));
  r->data->numRects += end - b;
  return true;
}

static const Box* bandEnd(const Box* b, const Box* end) {
  const Box* e = b + 1;
  while (e != end && e->y1 == b->y1)
    e++;
  return e;
}

// The band sweep of newReg = reg1 op reg2. appendNon1/2 say whether the
// parts covered by only one operand are kept.
static bool bandOp(Region* newReg, const Region* reg1, const Region* reg2, OverlapProc overlap,
                   bool appendNon1, bool appendNon2) {
  if (miIsBroken(reg1) || miIsBroken(reg2))
    return miBreak(newReg);

  const Box* r1 = miBoxes(reg1);
  const Box* r1End = r1 + miNumRects(reg1);
  const Box* r2 = miBoxes(reg2);
  const Box* r2End = r2 + miNumRects(reg2);
  int64_t larger = std::max(miNumRects(reg1), miNumRects(reg2));

  // The operand's boxes must survive while the result is written.
  RegData* oldData = nullptr;
  if ((newReg == reg1 || newReg == reg2) && ownsData(newReg)) {
    oldData = newReg->data;
    newReg->data = &miEmptyData;
  }
  if (!ownsData(newReg))
    newReg->data = &miEmptyData;
  else
    newReg->data->numRects = 0;
  if (larger > INT64_MAX / 2 ||
      (2 * larger > newReg->data->size && !miAllocRects(newReg, 2 * larger))) {
    miBreak(newReg);
    free(oldData);
    return false;
  }

  bool ok = true;
  int64_t prevBand = 0;
  int ybot = std::min(r1->y1, r2->y1);
  int ytop;
  do {
    const Box* r1BandEnd = bandEnd(r1, r1End);
    const Box* r2BandEnd = bandEnd(r2, r2End);
    if (r1->y1 < r2->y1) {
      if (appendNon1) {
        int top = std::max<int>(r1->y1, ybot);
        int bot = std::min(r1->y2, r2->y1);
        if (top != bot) {
          int64_t curBand = newReg->data->numRects;
          ok = appendNonOverlap(newReg, r1, r1BandEnd, top, bot);
          if (!ok)
            break;
          prevBand = coalesce(newReg, prevBand, curBand);
        }
      }
      ytop = r2->y1;
    } else if (r2->y1 < r1->y1) {
      if (appendNon2) {
        int top = std::max<int>(r2->y1, ybot);
        int bot = std::min(r2->y2, r1->y1);
        if (top != bot) {
          int64_t curBand = newReg->data->numRects;
          ok = appendNonOverlap(newReg, r2, r2BandEnd, top, bot);
          if (!ok)
            break;
          prevBand = coalesce(newReg, prevBand, curBand);
        }
      }
      ytop = r1->y1;
    } else {
      ytop = r1->y1;
    }

    ybot = std::min(r1->y2, r2->y2);
    if (ybot > ytop) {
      int64_t curBand = newReg->data->numRects;
      ok = overlap(newReg, r1, r1BandEnd, r2, r2BandEnd, ytop, ybot);
      if (!ok)
        break;
      prevBand = coalesce(newReg, prevBand, curBand);
    }
    if (r1->y2 == ybot)
      r1 = r1BandEnd;
    if (r2->y2 == ybot)
      r2 = r2BandEnd;
  } while (r1 != r1End && r2 != r2End);

  if (ok && r1 != r1End && appendNon1) {
    const Box* r1BandEnd = bandEnd(r1, r1End);
    int64_t curBand = newReg->data->numRects;
    ok = appendNonOverlap(newReg, r1, r1BandEnd, std::max<int>(r1->y1, ybot), r1->y2);
    if (ok) {
      coalesce(newReg, prevBand, curBand);
      ok = appendBands(newReg, r1BandEnd, r1End);
    }
  } else if (ok && r2 != r2End && appendNon2) {
    const Box* r2BandEnd = bandEnd(r2, r2End);
    int64_t curBand = newReg->data->numRects;
    ok = appendNonOverlap(newReg, r2, r2BandEnd, std::max<int>(r2->y1, ybot), r2->y2);
    if (ok) {
      coalesce(newReg, prevBand, curBand);
      ok = appendBands(newReg, r2BandEnd, r2End);
    }
  }
  free(oldData);
  if (!ok)
    return false; // addBox broke newReg

  int64_t n = newReg->data->numRects;
  if (n == 0) {
    setEmpty(newReg, &miEmptyData);
  } else if (n == 1) {
    newReg->extents = miBoxes(newReg->data)[0];
    miFreeData(newReg);
    newReg->data = nullptr;
  } else if (n < newReg->data->size / 2 && newReg->data->size > 50) {
    RegData* d = static_cast<RegData*>(realloc(newReg->data, blockBytes(n)));
    if (d) {
      d->size = n;
      newReg->data = d;
    }
  }
  return true;
}

static bool intersectO(Region* r, const Box* r1, const Box* r1End, const Box* r2, const Box* r2End,
                       int y1, int y2) {
  while (r1 != r1End && r2 != r2End) {
    int x1 = std::max(r1->x1, r2->x1);
    int x2 = std::min(r1->x2, r2->x2);
    if (x1 < x2 && !addBox(r, x1, y1, x2, y2))
      return false;
    if (r1->x2 == x2)
      r1++;
    if (r2->x2 == x2)
      r2++;
  }
  return true;
}

static bool unionO(Region* r, const Box* r1, const Box* r1End, const Box* r2, const Box* r2End,
                   int y1, int y2) {
  int x1, x2;
  if (r1->x1 < r2->x1) {
    x1 = r1->x1;
    x2 = r1->x2;
    r1++;
  } else {
    x1 = r2->x1;
    x2 = r2->x2;
    r2++;
  }
  auto merge = [&](const Box*& b) {
    if (b->x1 <= x2) {
      if (x2 < b->x2)
        x2 = b->x2;
    } else {
      if (!addBox(r, x1, y1, x2, y2))
        return false;
      x1 = b->x1;
      x2 = b->x2;
    }
    b++;
    return true;
  };
  while (r1 != r1End && r2 != r2End)
    if (!merge(r1->x1 < r2->x1 ? r1 : r2))
      return false;
  while (r1 != r1End)
    if (!merge(r1))
      return false;
  while (r2 != r2End)
    if (!merge(r2))
      return false;
  return addBox(r, x1, y1, x2, y2);
}

static bool subtractO(Region* r, const Box* r1, const Box* r1End, const Box* r2, const Box* r2End,
                      int y1, int y2) {
  int x1 = r1->x1;
  while (r1 != r1End && r2 != r2End) {
    if (r2->x2 <= x1) {
      r2++; // subtrahend wholly to the left
    } else if (r2->x1 <= x1) {
      x1 = r2->x2; // subtrahend covers the left edge
      if (x1 >= r1->x2) {
        if (++r1 != r1End)
          x1 = r1->x1;
      } else {
        r2++;
      }
    } else if (r2->x1 < r1->x2) {
      if (!addBox(r, x1, y1, r2->x1, y2)) // the part left of the subtrahend
        return false;
      x1 = r2->x2;
      if (x1 >= r1->x2) {
        if (++r1 != r1End)
          x1 = r1->x1;
      } else {
        r2++;
      }
    } else {
      if (r1->x2 > x1 && !addBox(r, x1, y1, r1->x2, y2))
        return false;
      if (++r1 != r1End)
        x1 = r1->x1;
    }
  }
  while (r1 != r1End) {
    if (!addBox(r, x1, y1, r1->x2, y2))
      return false;
    if (++r1 != r1End)
      x1 = r1->x1;
  }
  return true;
}

static bool extentsOverlap(const Box& a, const Box& b) {
  return a.x1 < b.x2 && b.x1 < a.x2 && a.y1 < b.y2 && b.y1 < a.y2;
}

static bool boxContains(const Box& outer, const Box& inner) {
  return outer.x1 <= inner.x1 && outer.x2 >= inner.x2 && outer.y1 <= inner.y1 &&
         outer.y2 >= inner.y2;
}

bool miIntersectRegions(Region* newReg, const Region* reg1, const Region* reg2) {
  if (miIsEmpty(reg1) || miIsEmpty(reg2) || !extentsOverlap(reg1->extents, reg2->extents)) {
    bool broken = miIsBroken(reg1) || miIsBroken(reg2);
    setEmpty(newReg, broken ? &miBrokenData : &miEmptyData);
  } else if (!reg1->data && !reg2->data) {
    Box b;
    b.x1 = std::max(reg1->extents.x1, reg2->extents.x1);
    b.y1 = std::max(reg1->extents.y1, reg2->extents.y1);
    b.x2 = std::min(reg1->extents.x2, reg2->extents.x2);
    b.y2 = std::min(reg1->extents.y2, reg2->extents.y2);
    miFreeData(newReg);
    newReg->extents = b;
    newReg->data = nullptr;
  } else if (!reg2->data && boxContains(reg2->extents, reg1->extents)) {
    miCopy(newReg, reg1);
  } else if (!reg1->data && boxContains(reg1->extents, reg2->extents)) {
    miCopy(newReg, reg2);
  } else if (reg1 == reg2) {
    miCopy(newReg, reg1);
  } else {
    if (!bandOp(newReg, reg1, reg2, intersectO, false, false))
      return false;
    miComputeExtents(newReg);
  }
  return !miIsBroken(newReg);
}

bool miUnionRegions(Region* newReg, const Region* reg1, const Region* reg2) {
  if (reg1 == reg2) {
    miCopy(newReg, reg1);
  } else if (miIsEmpty(reg1)) {
    if (miIsBroken(reg1))
      return miBreak(newReg);
    miCopy(newReg, reg2);
  } else if (miIsEmpty(reg2)) {
    if (miIsBroken(reg2))
      return miBreak(newReg);
    miCopy(newReg, reg1);
  } else if (!reg1->data && boxContains(reg1->extents, reg2->extents)) {
    miCopy(newReg, reg1);
  } else if (!reg2->data && boxContains(reg2->extents, reg1->extents)) {
    miCopy(newReg, reg2);
  } else {
    Box ext;
    ext.x1 = std::min(reg1->extents.x1, reg2->extents.x1);
    ext.y1 = std::min(reg1->extents.y1, reg2->extents.y1);
    ext.x2 = std::max(reg1->extents.x2, reg2->extents.x2);
    ext.y2 = std::max(reg1->extents.y2, reg2->extents.y2);
    if (!bandOp(newReg, reg1, reg2, unionO, true, true))
      return false;
    newReg->extents = ext;
  }
  return !miIsBroken(newReg);
}

bool miSubtractRegions(Region* regD, const Region* regM, const Region* regS) {
  if (miIsEmpty(regM) || miIsEmpty(regS) || !extentsOverlap(regM->extents, regS->extents)) {
    if (miIsBroken(regS))
      return miBreak(regD);
    miCopy(regD, regM);
  } else if (regM == regS) {
    setEmpty(regD, &miEmptyData);
  } else {
    if (!bandOp(regD, regM, regS, subtractO, true, false))
      return false;
    miComputeExtents(regD);
  }
  return !miIsBroken(regD);
}

void miTranslate(Region* r, int dx, int dy) {
  int x1 = r->extents.x1 + dx, y1 = r->extents.y1 + dy;
  int x2 = r->extents.x2 + dx, y2 = r->extents.y2 + dy;
  if (x1 >= regionMin && y1 >= regionMin && x2 <= regionMax && y2 <= regionMax) {
    r->extents = {int16_t(x1), int16_t(y1), int16_t(x2), int16_t(y2)};
    if (r->data) {
      Box* b = miBoxes(r->data);
      for (int64_t i = 0; i < r->data->numRects; i++, b++) {
        b->x1 = int16_t(b->x1 + dx);
        b->x2 = int16_t(b->x2 + dx);
        b->y1 = int16_t(b->y1 + dy);
        b->y2 = int16_t(b->y2 + dy);
      }
    }
    return;
  }
  auto clampX = [](int v) { return int16_t(std::clamp(v, regionMin, regionMax)); };
  if (x2 <= regionMin || y2 <= regionMin || x1 >= regionMax || y1 >= regionMax) {
    // Wholly outside: empty, at the translated position as far as it can be
    // represented.
    miFreeData(r);
    r->extents.x1 = r->extents.x2 = clampX(x1);
    r->extents.y1 = r->extents.y2 = clampX(y1);
    r->data = &miEmptyData;
    return;
  }
  r->extents = {clampX(x1), clampX(y1), clampX(x2), clampX(y2)};
  if (!r->data || r->data->numRects == 0)
    return;
  Box* in = miBoxes(r->data);
  Box* out = in;
  int64_t n = r->data->numRects;
  for (int64_t i = 0; i < n; i++, in++) {
    int bx1 = in->x1 + dx, by1 = in->y1 + dy, bx2 = in->x2 + dx, by2 = in->y2 + dy;
    if (bx2 <= regionMin || by2 <= regionMin || bx1 >= regionMax || by1 >= regionMax) {
      r->data->numRects--;
      continue;
    }
    *out++ = {clampX(bx1), clampX(by1), clampX(bx2), clampX(by2)};
  }
  if (r->data->numRects == 1) {
    r->extents = miBoxes(r->data)[0];
    miFreeData(r);
    r->data = nullptr;
  } else {
    miComputeExtents(r);
  }
}

bool miContainsPoint(const Region* r, int x, int y, Box* box) {
  if (miNumRects(r) == 0 ||
      !(x >= r->extents.x1 && x < r->extents.x2 && y >= r->extents.y1 && y < r->extents.y2))
    return false;
  if (!r->data) {
    if (box)
      *box = r->extents;
    return true;
  }
  const Box* b = miBoxes(r);
  const Box* end = b + r->data->numRects;
  for (; b != end; b++) {
    if (y >= b->y2)
      continue;
    if (y < b->y1 || x < b->x1)
      break;
    if (x >= b->x2)
      continue;
    if (box)
      *box = *b;
    return true;
  }
  return false;
}

bool miEqual(const Region* reg1, const Region* reg2) {
  const Box& a = reg1->extents;
  const Box& b = reg2->extents;
  if (a.x1 != b.x1 || a.x2 != b.x2 || a.y1 != b.y1 || a.y2 != b.y2)
    return false;
  int64_t n = miNumRects(reg1);
  if (n != miNumRects(reg2))
    return false;
  const Box* ra = miBoxes(reg1);
  const Box* rb = miBoxes(reg2);
  for (int64_t i = 0; i < n; i++)
    if (ra[i].x1 != rb[i].x1 || ra[i].x2 != rb[i].x2 || ra[i].y1 != rb[i].y1 ||
        ra[i].y2 != rb[i].y2)
      return false;
  return true;
}

bool miRectsToRegion(Region* r, int64_t count, const int* q) {
  if (count <= 0) {
    setEmpty(r, &miEmptyData);
    r->extents = miEmptyBox;
    return true;
  }
  if (count == 1) {
    miFreeData(r);
    r->extents = {int16_t(q[0]), int16_t(q[1]), int16_t(q[2]), int16_t(q[3])};
    r->data = nullptr;
    return true;
  }
  miFreeData(r);
  r->data = allocData(count);
  if (!r->data)
    return miBreak(r);
  Box* b = miBoxes(r->data);
  for (int64_t i = 0; i < count; i++, q += 4)
    b[i] = {int16_t(q[0]), int16_t(q[1]), int16_t(q[2]), int16_t(q[3])};
  r->data->numRects = count;
  miComputeExtents(r);
  return true;
}

RectInResult miRectIn(const Region* r, const Box* box) {
  Region boxReg = {*box, nullptr};
  if (box->x1 >= box->x2 || box->y1 >= box->y2 || miNumRects(r) == 0 ||
      !extentsOverlap(r->extents, *box))
    return rgnOUT;
  Region tmp = {miEmptyBox, &miEmptyData};
  RectInResult result;
  miSubtractRegions(&tmp, &boxReg, r);
  if (miIsEmpty(&tmp) && !miIsBroken(&tmp)) {
    result = rgnIN;
  } else {
    miIntersectRegions(&tmp, &boxReg, r);
    result = miIsEmpty(&tmp) ? rgnOUT : rgnPART;
  }
  miFreeData(&tmp);
  return result;
}

bool miValid(const Region* r) {
  if (miIsBroken(r))
    return true;
  const Box& e = r->extents;
  if (!r->data)
    return e.x1 < e.x2 && e.y1 < e.y2;
  int64_t n = r->data->numRects;
  if (n < 0 || (r->data->size && n > r->data->size))
    return false;
  if (n == 0)
    return e.x2 == e.x1 && e.y2 == e.y1;
  if (n == 1)
    return false; // one box is held without a block
  const Box* b = miBoxes(r);
  Box ext = b[0];
  const Box* bandStart = b;
  const Box* prevBandStart = nullptr;
  int64_t prevBandLen = 0;
  for (int64_t i = 0; i < n; i++) {
    const Box& x = b[i];
    if (x.x1 >= x.x2 || x.y1 >= x.y2)
      return false;
    ext.x1 = std::min(ext.x1, x.x1);
    ext.x2 = std::max(ext.x2, x.x2);
    ext.y2 = std::max(ext.y2, x.y2);
    if (&x == bandStart)
      continue;
    if (x.y1 == bandStart->y1) {
      if (x.y2 != bandStart->y2 || x.x1 <= b[i - 1].x2)
        return false; // ragged band, or boxes out of order, overlapping or touching
      continue;
    }
    // a new band begins at x
    if (x.y1 < bandStart->y2)
      return false;
    int64_t len = &x - bandStart;
    if (prevBandStart && prevBandStart->y2 == bandStart->y1 && prevBandLen == len) {
      bool same = true;
      for (int64_t k = 0; k < len; k++)
        same = same && prevBandStart[k].x1 == bandStart[k].x1 &&
               prevBandStart[k].x2 == bandStart[k].x2;
      if (same)
        return false; // not coalesced
    }
    prevBandStart = bandStart;
    prevBandLen = len;
    bandStart = &x;
  }
  int64_t len = (b + n) - bandStart;
  if (prevBandStart && prevBandStart->y2 == bandStart->y1 && prevBandLen == len) {
    bool same = true;
    for (int64_t k = 0; k < len; k++)
      same =
          same && prevBandStart[k].x1 == bandStart[k].x1 && prevBandStart[k].x2 == bandStart[k].x2;
    if (same)
      return false;
  }
  return ext.x1 == e.x1 && ext.x2 == e.x2 && ext.y1 == e.y1 && ext.y2 == e.y2;
}

} // namespace miRegion
