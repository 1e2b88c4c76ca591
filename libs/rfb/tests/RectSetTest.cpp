#include "rfb/RectSet.h"

#include "RegionCheck.h"

#include <gtest/gtest.h>

using rfb::Point;
using rfb::Rect;
using rfb::RectSet;
using Box = RectSet::Box;

TEST(RectSet, ClampsRectanglesToSixteenBits) {
  RectSet s(Rect(-40000, 0, 40000, 10));
  EXPECT_EQ(boxesOf(s), "-32768,0,32767,10");
  EXPECT_TRUE(miRegion::miValid(s.region()));
}

TEST(RectSet, EmptyRectangleGivesEmptySet) {
  RectSet s(Rect(5, 5, 5, 10));
  EXPECT_TRUE(s.isEmpty());
  EXPECT_EQ(s.numRects(), 0);
  EXPECT_EQ(s.extents().x2, s.extents().x1);
}

TEST(RectSet, AlgebraEdgeCases) {
  struct Case {
    const char* name;
    Rect a, b;
    char op;
    const char* boxes;
  } cases[] = {
      {"side by side merge", Rect(0, 0, 10, 10), Rect(10, 0, 20, 10), '|', "0,0,20,10"},
      {"stacked bands coalesce", Rect(0, 0, 10, 10), Rect(0, 10, 10, 20), '|', "0,0,10,20"},
      {"overlap gives three bands", Rect(0, 0, 10, 10), Rect(5, 5, 15, 15), '|',
       "0,0,10,5; 0,5,15,10; 5,10,15,15"},
      {"hole", Rect(0, 0, 10, 10), Rect(2, 2, 8, 8), '-', "0,0,10,2; 0,2,2,8; 8,2,10,8; 0,8,10,10"},
      {"intersect boxes", Rect(0, 0, 10, 10), Rect(5, 5, 15, 15), '&', "5,5,10,10"},
      {"disjoint intersect", Rect(0, 0, 10, 10), Rect(20, 20, 30, 30), '&', ""},
      {"touching intersect", Rect(0, 0, 10, 10), Rect(10, 0, 20, 10), '&', ""},
      {"subtract all", Rect(2, 2, 8, 8), Rect(0, 0, 10, 10), '-', ""},
      {"subtract disjoint", Rect(0, 0, 10, 10), Rect(20, 0, 30, 10), '-', "0,0,10,10"},
      {"union with empty", Rect(0, 0, 10, 10), Rect(), '|', "0,0,10,10"},
      {"contained union", Rect(0, 0, 10, 10), Rect(2, 2, 3, 3), '|', "0,0,10,10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RectSet a(c.a), b(c.b), r;
    bool ok = c.op == '|'   ? r.setUnion(a, b)
              : c.op == '&' ? r.setIntersect(a, b)
                            : r.setSubtract(a, b);
    EXPECT_TRUE(ok);
    EXPECT_EQ(boxesOf(r), c.boxes);
    EXPECT_TRUE(miRegion::miValid(r.region()));
  }
}

TEST(RectSet, IntersectWithEmptyHasEmptyExtents) {
  RectSet a(Rect(0, 0, 10, 10)), empty, r(Rect(3, 3, 7, 7));
  r.setIntersect(a, empty);
  EXPECT_TRUE(r.isEmpty());
  EXPECT_EQ(r.extents().x2, r.extents().x1);
  EXPECT_EQ(r.extents().y2, r.extents().y1);
}

TEST(RectSet, OperandMayBeTheResult) {
  RectSet a(Rect(0, 0, 10, 10));
  a.setUnion(a, RectSet(Rect(5, 5, 15, 15)));
  a.setSubtract(a, RectSet(Rect(0, 0, 3, 15)));
  EXPECT_EQ(boxesOf(a), "3,0,10,5; 3,5,15,10; 5,10,15,15");
  RectSet b(Rect(4, 0, 6, 20));
  b.setIntersect(a, b);
  EXPECT_EQ(boxesOf(b), "4,0,6,10; 5,10,6,15");
  a.setSubtract(a, a);
  EXPECT_TRUE(a.isEmpty());
}

TEST(RectSet, TranslateClipsToSixteenBits) {
  struct Case {
    Rect r;
    Point d;
    const char* boxes;
  } cases[] = {
      {Rect(32760, 0, 32767, 10), Point(10, 0), ""},
      {Rect(32700, 0, 32767, 10), Point(10, 0), "32710,0,32767,10"},
      {Rect(-32768, 0, -32700, 10), Point(-20, 5), "-32768,5,-32720,15"},
      {Rect(0, 0, 10, 10), Point(-3, 4), "-3,4,7,14"},
  };
  for (const Case& c : cases) {
    RectSet s(c.r);
    s.translate(c.d);
    EXPECT_EQ(boxesOf(s), c.boxes);
    EXPECT_TRUE(miRegion::miValid(s.region()));
  }
  // a multi-box set partly pushed out keeps the boxes inside
  RectSet l(Rect(0, 0, 10, 10));
  l.setUnion(l, RectSet(Rect(32000, 20, 32010, 30)));
  l.translate(Point(32760, 0));
  EXPECT_EQ(boxesOf(l), "32760,0,32767,10");
}

TEST(RectSet, ContainsPoint) {
  RectSet s(Rect(0, 0, 10, 10));
  s.setSubtract(s, RectSet(Rect(2, 2, 8, 8)));
  struct Case {
    Point p;
    bool in;
  } cases[] = {{{0, 0}, true},   {{9, 9}, true}, {{10, 9}, false}, {{5, 5}, false},
               {{1, 5}, true},   {{8, 5}, true}, {{7, 5}, false},  {{-1, 0}, false},
               {{5, 10}, false}, {{5, 1}, true}, {{5, 8}, true}};
  for (const Case& c : cases)
    EXPECT_EQ(s.contains(c.p), c.in) << c.p.x << "," << c.p.y;
  EXPECT_FALSE(RectSet().contains(Point(0, 0)));
}

TEST(RectSet, AlignedTo) {
  RectSet a = RectSet::alignedTo(RectSet(Rect(5, 5, 20, 20)), 16);
  EXPECT_EQ(boxesOf(a), "0,0,32,32");
  RectSet b = RectSet::alignedTo(RectSet(Rect(-5, -5, 1, 1)), 16);
  EXPECT_EQ(boxesOf(b), "-16,-16,16,16");
  RectSet c = RectSet::alignedTo(RectSet(Rect(32760, 0, 32767, 1)), 16);
  EXPECT_EQ(boxesOf(c), "32752,0,32767,16");
}

TEST(RectSet, Describe) {
  EXPECT_STREQ(RectSet(Rect(0, 0, 10, 10)).describe().c_str(),
               "num rects   1 extents 0,0 to 10,10\n    rect 0,0 to 10,10\n");
  EXPECT_STREQ(RectSet().describe().c_str(), "num rects   0 extents 0,0 to 0,0\n");
}

TEST(RectSet, EqualsAndCopy) {
  RectSet a(Rect(0, 0, 10, 10));
  a.setUnion(a, RectSet(Rect(5, 5, 15, 15)));
  RectSet b(a);
  EXPECT_TRUE(a.equals(b));
  RectSet c;
  c = a;
  EXPECT_TRUE(c.equals(a));
  c.translate(Point(1, 0));
  EXPECT_FALSE(c.equals(a));
  c = RectSet();
  EXPECT_TRUE(c.isEmpty());
}

TEST(RectSet, SetRectsAndFromRects) {
  Box boxes[] = {{0, 0, 10, 5}, {0, 5, 15, 10}};
  Box ext = {0, 0, 15, 10};
  RectSet s;
  s.setRects(2, boxes, ext);
  EXPECT_EQ(boxesOf(s), "0,0,10,5; 0,5,15,10");
  s.setRects(1, boxes, boxes[0]);
  EXPECT_EQ(boxesOf(s), "0,0,10,5");
  s.setRects(0, boxes, ext);
  EXPECT_TRUE(s.isEmpty());

  RectSet f;
  f.fromRects({Rect(0, 0, 10, 10), Rect(5, 5, 15, 15), Rect(-40000, 0, -39000, 1)});
  // the last rectangle lies wholly below -32768 and clamps to nothing
  EXPECT_EQ(boxesOf(f), "0,0,10,5; 0,5,15,10; 5,10,15,15");
}

// clear() keeps the block with no boxes in it; growing from there must never
// shrink the block below what the boxes need.
TEST(RectSet, ClearThenGrowKeepsEnoughRoom) {
  RectSet s;
  for (int i = 0; i < 40; i++)
    s.setUnion(s, RectSet(Rect(i * 4, i * 4, i * 4 + 2, i * 4 + 2)));
  ASSERT_EQ(s.numRects(), 40);
  for (int round = 0; round < 3; round++) {
    s.clear();
    EXPECT_TRUE(s.isEmpty());
    EXPECT_TRUE(miRegion::miValid(s.region()));
    for (int i = 0; i < 120; i++)
      s.setUnion(s, RectSet(Rect(i * 3, i * 3, i * 3 + 1, i * 3 + 1)));
    EXPECT_EQ(s.numRects(), 120);
    EXPECT_TRUE(miRegion::miValid(s.region()));
  }
}

TEST(RectSet, AllocRectsGrowsByAtLeastWhatIsNeeded) {
  miRegion::Region r = {miRegion::miEmptyBox, &miRegion::miEmptyData};
  ASSERT_TRUE(miRegion::miAllocRects(&r, 4));
  EXPECT_EQ(r.data->size, 4);
  r.data->numRects = 0; // as clear() leaves it
  ASSERT_TRUE(miRegion::miAllocRects(&r, 1));
  EXPECT_EQ(r.data->size, 4); // room enough: unchanged, not shrunk to 0
  r.data->numRects = 4;
  ASSERT_TRUE(miRegion::miAllocRects(&r, 1));
  EXPECT_EQ(r.data->size, 8); // geometric: by the count
  r.data->numRects = 8;
  ASSERT_TRUE(miRegion::miAllocRects(&r, 20));
  EXPECT_GE(r.data->size, 28);
  r.data->numRects = 600;
  ASSERT_TRUE(miRegion::miAllocRects(&r, 1)); // above 500: by 250
  EXPECT_EQ(r.data->size, 850);
  miRegion::miFreeData(&r);
}

TEST(RectSet, OverflowingBoxCountBreaksTheRegion) {
  miRegion::Region r = {miRegion::miEmptyBox, &miRegion::miEmptyData};
  EXPECT_FALSE(miRegion::miAllocRects(&r, INT64_MAX / 4));
  EXPECT_TRUE(miRegion::miIsBroken(&r));
  // a broken operand poisons the result; the broken set behaves as empty
  RectSet ok(Rect(0, 0, 5, 5));
  miRegion::Region res = {miRegion::miEmptyBox, &miRegion::miEmptyData};
  EXPECT_FALSE(miRegion::miUnionRegions(&res, &r, ok.region()));
  EXPECT_TRUE(miRegion::miIsBroken(&res));
  EXPECT_FALSE(miRegion::miIntersectRegions(&res, ok.region(), &r));
  EXPECT_FALSE(miRegion::miSubtractRegions(&res, ok.region(), &r));
  EXPECT_FALSE(miRegion::miContainsPoint(&r, 0, 0, nullptr));
}

TEST(RectSet, ValidityCheckRejectsBrokenInvariants) {
  struct Case {
    const char* name;
    std::vector<int> quads;
    bool valid;
  } cases[] = {
      {"banded", {0, 0, 5, 5, 6, 0, 9, 5, 0, 5, 9, 8}, true},
      {"touching boxes", {0, 0, 5, 5, 5, 0, 9, 5}, false},
      {"unsorted x", {6, 0, 9, 5, 0, 0, 5, 5}, false},
      {"ragged band", {0, 0, 5, 5, 6, 0, 9, 6}, false},
      {"overlapping bands", {0, 0, 5, 5, 0, 4, 9, 8}, false},
      {"uncoalesced", {0, 0, 5, 5, 0, 5, 5, 8}, false},
      {"empty box", {0, 0, 0, 5, 6, 0, 9, 5}, false},
  };
  for (const Case& c : cases) {
    miRegion::Region r = {miRegion::miEmptyBox, &miRegion::miEmptyData};
    ASSERT_TRUE(miRegion::miRectsToRegion(&r, int64_t(c.quads.size() / 4), c.quads.data()));
    EXPECT_EQ(miRegion::miValid(&r), c.valid) << c.name;
    miRegion::miFreeData(&r);
  }
}

TEST(RectSet, RectIn) {
  RectSet s(Rect(0, 0, 10, 10));
  s.setSubtract(s, RectSet(Rect(2, 2, 8, 8)));
  struct Case {
    Box b;
    miRegion::RectInResult r;
  } cases[] = {{{0, 0, 10, 2}, miRegion::rgnIN},
               {{3, 3, 7, 7}, miRegion::rgnOUT},
               {{1, 1, 4, 4}, miRegion::rgnPART},
               {{20, 20, 30, 30}, miRegion::rgnOUT}};
  for (const Case& c : cases)
    EXPECT_EQ(miRegion::miRectIn(s.region(), &c.b), c.r);
}
