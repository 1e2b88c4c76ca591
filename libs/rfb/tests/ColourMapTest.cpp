#include "rfb/ColourMapRW.h"

#include <gtest/gtest.h>

#include <vector>

using rfb::Colour;

namespace {
class VectorMap : public rfb::ColourMapRW {
public:
  explicit VectorMap(int n) : entries(size_t(n), Colour(1, 2, 3)) {}
  void lookup(int i, Colour* c) override { *c = entries[size_t(i)]; }
  int size() override { return int(entries.size()); }
  void setEntry(int i, const Colour& c) override { entries[size_t(i)] = c; }
  std::vector<Colour> entries;
};
} // namespace

TEST(ColourMap, LookupRGBFindsNearestAndPrefersLowerIndex) {
  VectorMap m(4);
  m.entries = {Colour(0, 0, 0), Colour(100, 0, 0), Colour(0, 100, 0), Colour(100, 0, 0)};
  struct Case {
    Colour c;
    int index;
  } cases[] = {{Colour(10, 0, 0), 0},
               {Colour(90, 5, 0), 1},
               {Colour(50, 0, 0), 0}, // equal distance to 0 and 1: lower index
               {Colour(60, 40, 0), 1},
               {Colour(0, 255, 0), 2}};
  for (const Case& c : cases)
    EXPECT_EQ(m.lookupRGB(c.c), c.index);
  VectorMap empty(0);
  EXPECT_EQ(empty.lookupRGB(Colour(5, 5, 5)), 0);
  EXPECT_FALSE(m.isOrthogonal());
}

TEST(ColourMap, SetEntriesRoundsSixteenBitComponents) {
  VectorMap m(3);
  const uint16_t rgb[] = {0xFFFF, 0x8080, 0x0000, 0x0080, 0x00FF, 0x7F7F};
  m.setEntries(1, 2, rgb);
  EXPECT_EQ(m.entries[0], Colour(1, 2, 3));
  EXPECT_EQ(m.entries[1], Colour(255, 128, 0));
  EXPECT_EQ(m.entries[2], Colour(0, 1, 127));
}

TEST(ColourMap, CopyFromLeavesExtraEntries) {
  VectorMap src(2), dst(3);
  src.entries = {Colour(9, 9, 9), Colour(8, 8, 8)};
  dst.entries[2] = Colour(7, 7, 7);
  dst.copyFrom(&src);
  EXPECT_EQ(dst.entries[0], Colour(9, 9, 9));
  EXPECT_EQ(dst.entries[1], Colour(8, 8, 8));
  EXPECT_EQ(dst.entries[2], Colour(7, 7, 7));
}
