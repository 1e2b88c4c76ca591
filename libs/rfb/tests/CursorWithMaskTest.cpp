#include "rfb/CursorWithMask.h"
#include "rfb/ArrowCursor.h"
#include "rfb/ColourCube.h"
#include "rfb/CursorWithAlpha.h"
#include "rfb/ManagedPixelBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using rfb::CursorWithMask;
using rfb::ManagedPixelBuffer;
using rfb::PixelLayout;
using rfb::Point;
using rfb::Rect;

namespace {

// A mask cursor drawn from text rows: '.' hidden, any other character shown
// with the pixel value given for it; the hotspot at hot.
class TextCursor : public CursorWithMask {
public:
  TextCursor(const std::vector<std::string>& rows, const Point& hot,
             const PixelLayout& pf = PixelLayout::xrgb32LittleEndian) {
    image().setPF(pf);
    int w = int(rows[0].size()), h = int(rows.size());
    setRect(Rect::at(hot.negate(), w, h));
    image().fillRect(getRect(), 0);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++)
        if (rows[size_t(y)][size_t(x)] != '.') {
          image().setPixel(Point(x, y), valueOf(rows[size_t(y)][size_t(x)]));
          setShown(x, y);
        }
  }
  static uint32_t valueOf(char c) {
    switch (c) {
    case 'r':
      return 0xFF0000;
    case 'g':
      return 0x00FF00;
    case 'b':
      return 0x0000FF;
    case 'o':
      return 0x123456;
    }
    return 0xFFFFFF;
  }
};

// The shown pixels as text rows, 'x' for each.
std::vector<std::string> shape(const CursorWithMask& c) {
  std::vector<std::string> rows;
  for (int y = 0; y < c.image().height(); y++) {
    std::string s;
    for (int x = 0; x < c.image().width(); x++)
      s += c.isShown(x, y) ? 'x' : '.';
    rows.push_back(s);
  }
  return rows;
}

} // namespace

TEST(CursorWithMask, StartsEmpty) {
  CursorWithMask c;
  EXPECT_EQ(c.getRect(), Rect(0, 0, 0, 0));
  EXPECT_EQ(c.mask(), nullptr);
  ManagedPixelBuffer pb(PixelLayout::xrgb32LittleEndian, 4, 4);
  pb.fillRect(pb.getRect(), 7);
  c.drawInto(&pb, Point(1, 1));
  EXPECT_EQ(pb.getPixel(Point(1, 1)), 7u);
}

TEST(CursorWithMask, SetRectPlacesTheHotspotAtTheOrigin) {
  CursorWithMask c;
  c.setRect(Rect(-3, -2, 5, 6));
  EXPECT_EQ(c.hotspot(), Point(3, 2));
  EXPECT_EQ(c.image().width(), 8);
  EXPECT_EQ(c.image().height(), 8);
  EXPECT_EQ(c.maskStride(), 1);
}

// A mask that needs more bytes than the old one gets a new array, which used
// to be left as the allocator returned it; a mask shown on screen must never
// hold stray bits.
TEST(CursorWithMask, GrownMaskStartsClear) {
  CursorWithMask c;
  c.setRect(Rect(0, 0, 3, 3));
  memset(c.mask(), 0xFF, c.maskBytes());
  const uint8_t* small = c.mask();
  c.setRect(Rect(0, 0, 40, 30));
  EXPECT_NE(c.mask(), small);
  for (size_t i = 0; i < c.maskBytes(); i++)
    ASSERT_EQ(c.mask()[i], 0) << "byte " << i;
  // A smaller need keeps the array, cleared too.
  memset(c.mask(), 0xFF, c.maskBytes());
  const uint8_t* big = c.mask();
  c.setRect(Rect(0, 0, 9, 2));
  EXPECT_EQ(c.mask(), big);
  for (size_t i = 0; i < c.maskBytes(); i++)
    ASSERT_EQ(c.mask()[i], 0) << "byte " << i;
}

TEST(CursorWithMask, TwoColourFormNeedsAtMostTwoShownValues) {
  struct Case {
    const char* what;
    std::vector<std::string> rows;
    bool hasForm;
    uint32_t p0, p1;
    std::vector<std::string> bits;
  } cases[] = {
      {"one colour", {"rr.", ".r."}, true, 0xFF0000, 0, {"...", "..."}},
      {"two colours", {"rg.", "grr"}, true, 0xFF0000, 0x00FF00, {".x.", "x.."}},
      {"three colours", {"rg.", "..b"}, false, 0, 0, {}},
      {"third colour hidden", {"rg", "g."}, true, 0xFF0000, 0x00FF00, {".x", "x."}},
      {"nothing shown", {"...", "..."}, true, 0, 0, {"...", "..."}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    TextCursor c(k.rows, Point(0, 0));
    if (std::string(k.what) == "third colour hidden")
      c.image().setPixel(Point(1, 1), 0x0000FF); // under a clear mask bit
    uint32_t p0 = 9, p1 = 9;
    std::unique_ptr<uint8_t[]> bits = c.getBitmask(&p0, &p1);
    ASSERT_EQ(bool(bits), k.hasForm);
    if (!bits)
      continue;
    EXPECT_EQ(p0, k.p0);
    EXPECT_EQ(p1, k.p1);
    for (size_t y = 0; y < k.bits.size(); y++)
      for (size_t x = 0; x < k.bits[y].size(); x++)
        EXPECT_EQ(bool(bits[y] & (0x80 >> x)), k.bits[y][x] == 'x') << x << "," << y;
  }
}

TEST(CursorWithMask, CloneIsEqualAndHiddenPixelsDoNotCount) {
  rfb::ColourCube cube(6, 6, 6);
  TextCursor c({"rg..", ".bo.", "...r"}, Point(1, 2));
  c.image().setColourMap(&cube, false);
  std::unique_ptr<rfb::Cursor> copy = c.clone();
  EXPECT_TRUE(copy->equals(c));
  EXPECT_TRUE(c.equals(*copy));
  EXPECT_EQ(copy->getRect(), c.getRect());
  EXPECT_EQ(copy->image().getColourMap(), &cube);

  c.image().setPixel(Point(3, 0), 0x777777); // hidden
  EXPECT_TRUE(copy->equals(c));
  c.image().setPixel(Point(0, 0), 0x777777); // shown
  EXPECT_FALSE(copy->equals(c));

  TextCursor moved({"rg..", ".bo.", "...r"}, Point(0, 0));
  EXPECT_FALSE(moved.equals(*copy));
  TextCursor otherMask({"rg..", ".bo.", "..rr"}, Point(1, 2));
  EXPECT_FALSE(otherMask.equals(*copy));

  rfb::CursorWithAlpha alpha(PixelLayout::argb32LittleEndian, c.getRect());
  EXPECT_FALSE(copy->equals(alpha));
  EXPECT_FALSE(alpha.equals(*copy));
}

TEST(CursorWithMask, ComparesWithTheBuiltInArrowByItsShape) {
  rfb::ArrowCursor arrow(PixelLayout::xrgb32LittleEndian, nullptr);
  std::unique_ptr<rfb::Cursor> copy = arrow.clone();
  EXPECT_TRUE(copy->equals(arrow));
  EXPECT_TRUE(arrow.equals(*copy));
}

TEST(CursorWithMask, CropShrinksToTheShownPixels) {
  struct Case {
    const char* what;
    std::vector<std::string> rows;
    Point hot;
    Rect want;
    std::vector<std::string> shape;
  } cases[] = {
      {"hotspot inside the box",
       {"......", ".rr...", ".r.r..", "......"},
       {2, 2},
       Rect(-1, -1, 2, 1),
       {"xx.", "x.x"}},
      {"hotspot left of and above the box",
       {"......", "......", "...rr.", "......"},
       {1, 0},
       Rect(0, 0, 4, 3),
       {"....", "....", "..xx"}},
      {"box above and left of the hotspot",
       {"r.....", "......", "......", "......"},
       {4, 2},
       Rect(-4, -2, 1, 1),
       {"x....", ".....", "....."}},
      {"nothing shown", {"....", "...."}, {1, 1}, Rect(0, 0, 1, 1), {"."}},
      {"already tight", {"rr", "rr"}, {0, 1}, Rect(0, -1, 2, 1), {"xx", "xx"}},
      {"hotspot outside the image",
       {"....", "..r.", "...."},
       {9, -5},
       Rect(-1, 0, 1, 2),
       {"..", "x."}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    TextCursor c(k.rows, k.hot);
    c.crop();
    EXPECT_EQ(c.getRect(), k.want);
    EXPECT_EQ(shape(c), k.shape);
    EXPECT_TRUE(c.getRect().contains(Point(0, 0))) << "the hotspot stays inside";
  }
}

TEST(CursorWithMask, CropKeepsPixelValuesInPlace) {
  TextCursor c({"....", ".rg.", ".bo.", "...."}, Point(1, 1));
  c.crop();
  EXPECT_EQ(c.getRect(), Rect(0, 0, 2, 2));
  EXPECT_EQ(c.image().getPixel(Point(0, 0)), 0xFF0000u);
  EXPECT_EQ(c.image().getPixel(Point(1, 0)), 0x00FF00u);
  EXPECT_EQ(c.image().getPixel(Point(0, 1)), 0x0000FFu);
  EXPECT_EQ(c.image().getPixel(Point(1, 1)), 0x123456u);
}

TEST(CursorWithMask, CopyToWithMaskConvertsTheLayout) {
  TextCursor c({"rg.", ".b."}, Point(1, 0));
  CursorWithMask target;
  target.image().setPF(PixelLayout::rgb565);
  c.copyToWithMask(&target);
  EXPECT_EQ(target.getRect(), c.getRect());
  EXPECT_EQ(shape(target), shape(c));
  EXPECT_EQ(target.image().getPixel(Point(0, 0)), 0xF800u);
  EXPECT_EQ(target.image().getPixel(Point(1, 0)), 0x07E0u);
  EXPECT_EQ(target.image().getPixel(Point(1, 1)), 0x001Fu);
}

TEST(CursorWithMask, CopyToAnAlphaCursorZeroesTheHiddenPixels) {
  TextCursor c({"rg.", ".b."}, Point(0, 0));
  c.image().setPixel(Point(2, 0), 0xABCDEF); // hidden
  rfb::CursorWithAlpha target(PixelLayout::argb32LittleEndian, Rect(0, 0, 1, 1));
  c.copyTo(&target);
  EXPECT_EQ(target.getRect(), c.getRect());
  EXPECT_EQ(target.image().getPixel(Point(0, 0)), 0xFFFF0000u); // opaque red
  EXPECT_EQ(target.image().getPixel(Point(2, 0)), 0u);
  EXPECT_EQ(target.image().getPixel(Point(0, 1)), 0u);
  EXPECT_EQ(target.image().getPixel(Point(1, 1)), 0xFF0000FFu);
}

TEST(CursorWithMask, OutlineSurroundsTheShapeInsideTheRectangle) {
  TextCursor c({".....", ".....", "..r..", ".....", "r...."}, Point(2, 2));
  c.addOutline(0x00FF00);
  EXPECT_EQ(shape(c), (std::vector<std::string>{".....", "..x..", ".xxx.", "x.x..", "xx..."}));
  EXPECT_EQ(c.image().getPixel(Point(2, 2)), 0xFF0000u); // the shape keeps its colour
  EXPECT_EQ(c.image().getPixel(Point(2, 1)), 0x00FF00u); // the outline
  EXPECT_EQ(c.image().getPixel(Point(1, 4)), 0x00FF00u);
  EXPECT_EQ(c.getRect(), Rect(-2, -2, 3, 3));
}

TEST(CursorWithMask, OutlineCrossesMaskBytesAndLeavesThePaddingClear) {
  // Columns 7 and 8 lie in different mask bytes; the width of 10 leaves six
  // padding bits in each row's second byte.
  TextCursor c({"........r.", ".......r..", ".........r"}, Point(0, 0));
  c.addOutline(0x00FF00);
  EXPECT_EQ(shape(c), (std::vector<std::string>{".......xxx", "......xxxx", ".......xxx"}));
  for (int y = 0; y < 3; y++)
    EXPECT_EQ(c.mask()[y * 2 + 1] & 0x3F, 0) << "row " << y;
}
