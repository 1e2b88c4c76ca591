// The banded region algebra: union, intersection and difference of pixel
// sets stored as y-x banded lists of 16-bit boxes, with translation, point
// and equality tests. rfb::RectSet is the value type around it.
//
// Representation. A region is its extents box and a data pointer:
//  - null: the region is exactly its extents (one box, no block);
//  - &miEmptyData: the empty region;
//  - &miBrokenData: an allocation failed; behaves as empty and poisons the
//    results of later operations;
//  - otherwise an owned malloc'ed block: capacity, count, then the boxes.
// A block of capacity 0 is shared and never freed.
//
// Invariants of a non-empty region with a block (checked by miValid()):
//  1. boxes form bands: equal y1 and y2 within a band, bands disjoint in y;
//  2. bands increase in y; within a band boxes increase in x and neither
//     overlap nor touch;
//  3. vertically adjacent bands never have the same x-spans (coalesced);
//  4. the extents are the bounding box of the boxes; a region of one box has
//     no block;
//  5. an empty region has extents with x2 == x1 and y2 == y1.
// Allocation failures break the target and return false; nothing throws.
#pragma once

#include <cstdint>

namespace miRegion {

struct Box {
  int16_t x1, y1, x2, y2;
};

struct RegData {
  int64_t size;     // capacity in boxes
  int64_t numRects; // boxes in use; the boxes follow the header
};

struct Region {
  Box extents;
  RegData* data;
};

extern const Box miEmptyBox;
extern RegData miEmptyData;
extern RegData miBrokenData;

inline Box* miBoxes(RegData* d) {
  return reinterpret_cast<Box*>(d + 1);
}
inline const Box* miBoxes(const Region* r) {
  return r->data ? reinterpret_cast<const Box*>(r->data + 1) : &r->extents;
}
inline int64_t miNumRects(const Region* r) {
  return r->data ? r->data->numRects : 1;
}
inline bool miIsBroken(const Region* r) {
  return r->data == &miBrokenData;
}
inline bool miIsEmpty(const Region* r) {
  return r->data && r->data->numRects == 0;
}

// Frees an owned block, sets the extents to miEmptyBox and the data to
// miBrokenData; returns false.
bool miBreak(Region* region);
// Frees the owned block, if any, leaving the data pointer dangling for the
// caller to set.
void miFreeData(Region* region);
// Makes room for n more boxes: a block is grown only when the boxes held plus
// n exceed its capacity, and then by at least n.
bool miAllocRects(Region* region, int64_t n);
bool miCopy(Region* dest, const Region* src);
// new may be reg1 or reg2; false when the result is broken.
bool miIntersectRegions(Region* newReg, const Region* reg1, const Region* reg2);
bool miUnionRegions(Region* newReg, const Region* reg1, const Region* reg2);
bool miSubtractRegions(Region* regD, const Region* regM, const Region* regS);
// Moves every box, clipping to -32768..32767 and dropping boxes that fall
// wholly outside.
void miTranslate(Region* region, int dx, int dy);
bool miContainsPoint(const Region* region, int x, int y, Box* box);
bool miEqual(const Region* reg1, const Region* reg2);
void miComputeExtents(Region* region);
// Builds a region from count boxes given as int quadruples x1, y1, x2, y2
// already in banded order.
bool miRectsToRegion(Region* region, int64_t count, const int* quads);
enum RectInResult { rgnOUT = 0, rgnIN = 1, rgnPART = 2 };
// Whether the box lies outside, wholly inside or partly inside the region.
RectInResult miRectIn(const Region* region, const Box* box);
// Checks the invariants above; a broken region counts as valid.
bool miValid(const Region* region);

} // namespace miRegion
