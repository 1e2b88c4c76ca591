// Seeded random differential test of the region algebra against pixman's
// 16-bit regions: every result is compared box for box.
#include "rfb/RectSet.h"

#include <gtest/gtest.h>
#include <pixman.h>

#include <algorithm>
#include <random>
#include <string>

using rfb::Point;
using rfb::Rect;
using rfb::RectSet;

namespace {

// A set and its pixman twin, kept in step.
struct Pair {
  Pair() { pixman_region_init(&ref); }
  ~Pair() { pixman_region_fini(&ref); }
  RectSet ours;
  pixman_region16_t ref;
};

::testing::AssertionResult sameRegion(const RectSet& s, pixman_region16_t* ref) {
  int n;
  pixman_box16_t* boxes = pixman_region_rectangles(ref, &n);
  if (s.numRects() != n)
    return ::testing::AssertionFailure() << "box count " << s.numRects() << " vs pixman " << n;
  int i = 0;
  for (const RectSet::Box& b : s) {
    const pixman_box16_t& r = boxes[i++];
    if (b.x1 != r.x1 || b.y1 != r.y1 || b.x2 != r.x2 || b.y2 != r.y2)
      return ::testing::AssertionFailure() << "box " << i - 1 << " differs";
  }
  if (n > 0) {
    const pixman_box16_t* e = pixman_region_extents(ref);
    const RectSet::Box& x = s.extents();
    if (x.x1 != e->x1 || x.y1 != e->y1 || x.x2 != e->x2 || x.y2 != e->y2)
      return ::testing::AssertionFailure() << "extents differ";
  } else if (s.extents().x2 != s.extents().x1 || s.extents().y2 != s.extents().y1) {
    return ::testing::AssertionFailure() << "empty set without empty extents";
  }
  if (!miRegion::miValid(s.region()))
    return ::testing::AssertionFailure() << "banded invariants broken";
  return ::testing::AssertionSuccess();
}

} // namespace

TEST(RegionDifferential, HundredThousandOperationsMatchPixman) {
  std::mt19937 rng(20261210);
  const int slots = 8;
  Pair sets[slots];
  int64_t maxBoxes = 0;
  auto coord = [&](int range) { return int(rng() % unsigned(range)) - range / 4; };

  for (int op = 0; op < 100000; op++) {
    int kind = int(rng() % 100);
    int d = int(rng() % slots), a = int(rng() % slots), b = int(rng() % slots);
    Pair& D = sets[d];
    // Small coordinates make many touching and coalescing bands; now and
    // then the whole 16-bit range is used.
    int range = rng() % 20 == 0 ? 65536 : 64;
    if (kind < 20) {
      int x = coord(range), y = coord(range);
      int w = int(rng() % 24) + 1, h = int(rng() % 24) + 1;
      Rect r(x, y, x + w, y + h);
      RectSet one(r);
      pixman_region16_t pr;
      pixman_region_init_rect(&pr, one.extents().x1, one.extents().y1,
                              unsigned(one.extents().x2 - one.extents().x1),
                              unsigned(one.extents().y2 - one.extents().y1));
      int how = int(rng() % 3);
      if (how == 0) {
        ASSERT_TRUE(D.ours.setUnion(D.ours, one));
        pixman_region_union(&D.ref, &D.ref, &pr);
      } else if (how == 1) {
        ASSERT_TRUE(D.ours.setSubtract(D.ours, one));
        pixman_region_subtract(&D.ref, &D.ref, &pr);
      } else {
        ASSERT_TRUE(D.ours.setIntersect(one, D.ours));
        pixman_region_intersect(&D.ref, &pr, &D.ref);
      }
      pixman_region_fini(&pr);
    } else if (kind < 40) {
      ASSERT_TRUE(D.ours.setUnion(sets[a].ours, sets[b].ours));
      pixman_region_union(&D.ref, &sets[a].ref, &sets[b].ref);
    } else if (kind < 55) {
      ASSERT_TRUE(D.ours.setIntersect(sets[a].ours, sets[b].ours));
      pixman_region_intersect(&D.ref, &sets[a].ref, &sets[b].ref);
    } else if (kind < 75) {
      ASSERT_TRUE(D.ours.setSubtract(sets[a].ours, sets[b].ours));
      pixman_region_subtract(&D.ref, &sets[a].ref, &sets[b].ref);
    } else if (kind < 85) {
      // Stay inside the 16-bit range: clipping translations are covered by
      // the table tests.
      int dx = int(rng() % 41) - 20, dy = int(rng() % 41) - 20;
      const RectSet::Box& e = D.ours.extents();
      if (D.ours.isEmpty() || e.x1 + dx < INT16_MIN || e.x2 + dx > INT16_MAX ||
          e.y1 + dy < INT16_MIN || e.y2 + dy > INT16_MAX)
        continue;
      D.ours.translate(Point(dx, dy));
      pixman_region_translate(&D.ref, dx, dy);
    } else if (kind < 93) {
      // clear, then grow again through the kept block
      D.ours.clear();
      pixman_region_clear(&D.ref);
      for (int i = 0; i < 6; i++) {
        int x = coord(64), y = coord(64);
        Rect r(x, y, x + int(rng() % 9) + 1, y + int(rng() % 9) + 1);
        ASSERT_TRUE(D.ours.setUnion(D.ours, RectSet(r)));
        pixman_region_union_rect(&D.ref, &D.ref, r.tl.x, r.tl.y, unsigned(r.width()),
                                 unsigned(r.height()));
      }
    } else {
      D.ours = sets[a].ours;
      pixman_region_copy(&D.ref, &sets[a].ref);
    }
    ASSERT_TRUE(sameRegion(D.ours, &D.ref)) << "after operation " << op << " kind " << kind;
    maxBoxes = std::max(maxBoxes, D.ours.numRects());
    if (op % 97 == 0) {
      int x = coord(64), y = coord(64);
      ASSERT_EQ(D.ours.contains(Point(x, y)),
                bool(pixman_region_contains_point(&D.ref, x, y, nullptr)));
      ASSERT_EQ(D.ours.equals(sets[a].ours), bool(pixman_region_equal(&D.ref, &sets[a].ref)));
    }
  }
  // the sets grew complex enough to exercise band splitting and coalescing
  EXPECT_GT(maxBoxes, 30);
}
