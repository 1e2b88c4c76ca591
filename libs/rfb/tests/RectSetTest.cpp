#include "rfb/RectSet.h"

#include "RegionCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <vector>

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

TEST(RectSet, TranslateByOffsetsAtTheEndsOfTheIntRange) {
  RectSet l(Rect(0, 0, 10, 10));
  l.setUnion(l, RectSet(Rect(0, 10, 20, 20)));
  struct Case {
    RectSet s;
    Point d;
  } cases[] = {
      {RectSet(Rect(0, 0, 10, 10)), Point(INT_MAX, 0)},
      {RectSet(Rect(0, 0, 10, 10)), Point(0, INT_MIN)},
      {RectSet(Rect(-32768, -32768, 32767, 32767)), Point(INT_MAX, INT_MAX)},
      {RectSet(Rect(-32768, -32768, 32767, 32767)), Point(INT_MIN, INT_MIN)},
      {l, Point(INT_MAX, 0)},
      {l, Point(INT_MIN, INT_MIN)},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(testing::Message() << boxesOf(c.s) << " by " << c.d.x << "," << c.d.y);
    c.s.translate(c.d);
    EXPECT_TRUE(c.s.isEmpty());
    EXPECT_TRUE(miRegion::miValid(c.s.region()));
  }
}

// Boxes cut at the edge of the 16-bit range can leave neighbouring bands
// with the same spans; they are merged as in every other result.
TEST(RectSet, TranslateClippingMergesBandsThatBecomeEqual) {
  struct Case {
    std::vector<Rect> rects;
    Point d;
    const char* boxes;
  } cases[] = {
      // the box that told the two bands apart falls off the left edge
      {{Rect(100, 0, 110, 20), Rect(0, 10, 10, 20)}, Point(-32778, 0), "-32678,0,-32668,20"},
      // the parts that differ are cut off at the right edge
      {{Rect(0, 0, 40, 10), Rect(0, 10, 50, 20), Rect(60, 30, 70, 40)},
       Point(32740, 0),
       "32740,0,32767,20"},
      {{Rect(0, 0, 40, 10), Rect(0, 10, 50, 20), Rect(0, 20, 5, 30), Rect(20, 20, 40, 30)},
       Point(32740, 0),
       "32740,0,32767,20; 32740,20,32745,30; 32760,20,32767,30"},
  };
  for (const Case& c : cases) {
    RectSet s;
    s.fromRects(c.rects);
    s.translate(c.d);
    EXPECT_EQ(boxesOf(s), c.boxes);
    EXPECT_TRUE(miRegion::miValid(s.region()));
  }
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

// Making room for a count of boxes that is negative, zero or too large for
// memory, in a single rectangle, an empty region and a region with a block:
// either the room is there afterwards or the region is broken.
TEST(RectSet, AllocRectsWithHostileCounts) {
  RectSet l(Rect(0, 0, 10, 10));
  l.setUnion(l, RectSet(Rect(0, 10, 20, 20)));
  for (int64_t n : {int64_t(-1), int64_t(0), int64_t(1), INT64_MAX, INT64_MAX / 4}) {
    for (const RectSet& s : {RectSet(Rect(1, 2, 3, 4)), RectSet(), l}) {
      SCOPED_TRACE(testing::Message() << n << " more for " << boxesOf(s));
      RectSet copy(s);
      miRegion::Region r = *copy.region();
      int64_t had = miRegion::miNumRects(&r);
      // The region record now owns copy's block; copy must not free it too.
      const_cast<miRegion::Region*>(copy.region())->data = &miRegion::miEmptyData;
      if (miRegion::miAllocRects(&r, n)) {
        ASSERT_NE(r.data, nullptr);
        EXPECT_EQ(miRegion::miNumRects(&r), had);
        EXPECT_GE(r.data->size, had + std::max<int64_t>(n, 0));
      } else {
        EXPECT_TRUE(miRegion::miIsBroken(&r));
      }
      miRegion::miFreeData(&r);
    }
  }
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

namespace {
// The union built one rectangle at a time: the reference for the faster
// constructors.
RectSet unitedOneByOne(const std::vector<Rect>& rects) {
  RectSet s;
  for (const Rect& r : rects)
    s.setUnion(s, RectSet(r));
  return s;
}

// Seeded random rectangles: damage-like (small, scattered, overlapping),
// with empty, inverted, duplicated and out-of-range ones mixed in.
std::vector<Rect> randomRects(std::mt19937& rng, int n, int span) {
  std::vector<Rect> rects;
  for (int i = 0; i < n; i++) {
    int x = int(rng() % unsigned(span)) - span / 8, y = int(rng() % unsigned(span)) - span / 8;
    int w = int(rng() % 40), h = int(rng() % 20);
    switch (rng() % 16) {
    case 0:
      rects.emplace_back(x, y, x, y + h); // empty
      break;
    case 1:
      rects.emplace_back(x + w, y, x, y + h); // inverted
      break;
    case 2:
      if (!rects.empty()) {
        rects.push_back(rects[rng() % rects.size()]); // again
        break;
      }
      [[fallthrough]];
    case 3:
      rects.emplace_back(x * 400, y, x * 400 + w * 1000, y + h); // beyond 16 bits
      break;
    default:
      rects.emplace_back(x, y, x + w, y + h);
    }
  }
  return rects;
}
} // namespace

// fromRects and alignedTo unite pairwise; they give exactly the boxes of
// uniting one rectangle at a time, in valid banded form.
TEST(RectSet, FromRectsEqualsOneAtATimeUnion) {
  std::mt19937 rng(20261210);
  for (int n : {0, 1, 2, 3, 5, 17, 64, 300}) {
    for (int span : {50, 400, 2000}) {
      SCOPED_TRACE(testing::Message() << n << " rectangles over " << span);
      std::vector<Rect> rects = randomRects(rng, n, span);
      RectSet expected = unitedOneByOne(rects);
      RectSet s(Rect(0, 0, 5, 5)); // replaced, not added to
      s.fromRects(rects);
      EXPECT_TRUE(miRegion::miValid(s.region()));
      EXPECT_TRUE(s.equals(expected)) << s.describe().c_str() << "\nvs\n"
                                      << expected.describe().c_str();
      for (int grid : {1, 7, 16}) {
        RectSet aligned = RectSet::alignedTo(expected, grid);
        std::vector<Rect> grown;
        for (const Box& b : expected) {
          RectSet one = RectSet::alignedTo(RectSet(RectSet::toRect(b)), grid);
          grown.push_back(one.boundingRect());
        }
        EXPECT_TRUE(miRegion::miValid(aligned.region()));
        EXPECT_TRUE(aligned.equals(unitedOneByOne(grown))) << "grid " << grid;
      }
    }
  }
}

// Lists longer than one sweep group: the groups' unions are united pairwise.
TEST(RectSet, FromRectsOfManyRectanglesEqualsOneAtATimeUnion) {
  std::mt19937 rng(4242);
  std::vector<Rect> rects;
  for (int i = 0; i < 2100; i++) { // three groups, on a narrow strip to keep the reference quick
    int x = int(rng() % 200), y = int(rng() % 1060);
    rects.emplace_back(x, y, x + 1 + int(rng() % 64), y + 1 + int(rng() % 32));
  }
  RectSet s;
  s.fromRects(rects);
  EXPECT_TRUE(miRegion::miValid(s.region()));
  EXPECT_TRUE(s.equals(unitedOneByOne(rects)));
  EXPECT_GT(s.numRects(), 100);
}
