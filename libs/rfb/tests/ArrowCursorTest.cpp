#include "rfb/ArrowCursor.h"
#include "rfb/ColourCube.h"
#include "rfb/Composite.h"
#include "rfb/ManagedPixelBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using rfb::ArrowCursor;
using rfb::ManagedPixelBuffer;
using rfb::PixelLayout;
using rfb::Point;
using rfb::Rect;

namespace {

// The arrow as it must look: B black and shown, W white and shown, . hidden.
const char* const arrowRows[21] = {
    "B...........", "BB..........", "BWB.........", "BWWB........", "BWWWB.......", "BWWWWB......",
    "BWWWWWB.....", "BWWWWWWB....", "BWWWWWWWB...", "BWWWWWWWWB..", "BWWWWWWWWWB.", "BWWWWWWBBBBB",
    "BWWWBWWB....", "BWWBBWWB....", "BWB..BWWB...", "BB...BWWB...", "B.....BWWB..", "......BWWB..",
    ".......BWWB.", ".......BWWB.", "........BB..",
};

const PixelLayout be32(32, 24, true, true, 255, 255, 255, 16, 8, 0);
const PixelLayout be16(16, 16, true, true, 31, 63, 31, 11, 5, 0);
const PixelLayout bgr24(24, 24, false, true, 255, 255, 255, 0, 8, 16);

struct LayoutCase {
  const char* name;
  PixelLayout pf;
  uint32_t black, white; // as stored in memory, read as a native integer
};

// Reads the cursor back as text in the form of arrowRows.
std::string rowText(const ArrowCursor& c, int y) {
  std::string s;
  for (int x = 0; x < 12; x++) {
    uint32_t v = c.image().getPixel(Point(x, y));
    if (!c.isShown(x, y))
      s += v == 0 ? '.' : '?';
    else
      s += v == c.blackPixel() ? 'B' : v == c.whitePixel() ? 'W' : '?';
  }
  return s;
}

} // namespace

TEST(ArrowCursor, MatchesItsBitmapInEveryLayout) {
  rfb::ColourCube cube(6, 6, 6);
  const LayoutCase cases[] = {
      {"xrgb32", PixelLayout::xrgb32LittleEndian, 0, 0xFFFFFF},
      {"big-endian 32", be32, 0, 0xFFFFFF00},
      {"rgb565", PixelLayout::rgb565, 0, 0xFFFF},
      {"big-endian 565", be16, 0, 0xFFFF},
      {"bgr24", bgr24, 0, 0xFFFFFF},
      {"rgb222", PixelLayout::rgb222, 0, 0x3F},
      {"pal8 cube", PixelLayout::pal8, 0, 215},
  };
  for (const LayoutCase& lc : cases) {
    SCOPED_TRACE(lc.name);
    ArrowCursor c(lc.pf, &cube);
    EXPECT_EQ(c.getRect(), Rect(0, 0, 12, 21));
    EXPECT_EQ(c.hotspot(), Point(0, 0));
    EXPECT_EQ(c.blackPixel(), lc.black);
    EXPECT_EQ(c.whitePixel(), lc.white);
    EXPECT_EQ(c.image().getColourMap(), &cube);
    for (int y = 0; y < 21; y++)
      EXPECT_EQ(rowText(c, y), arrowRows[y]) << "row " << y;
  }
}

TEST(ArrowCursor, BigEndianPixelsAreStoredInTheirByteOrder) {
  PixelLayout gapped(32, 24, true, true, 255, 255, 255, 24, 8, 0);
  ArrowCursor c(gapped, nullptr);
  // White in a big-endian layout with red in the top byte: bytes FF 00 FF FF
  // from the lowest address.
  const uint8_t* p = c.image().getDataRW(Rect(1, 2, 2, 3), nullptr);
  EXPECT_EQ(p[0], 0xFF);
  EXPECT_EQ(p[1], 0x00);
  EXPECT_EQ(p[2], 0xFF);
  EXPECT_EQ(p[3], 0xFF);
}

TEST(ArrowCursor, HasATwoColourForm) {
  ArrowCursor c(PixelLayout::xrgb32LittleEndian, nullptr);
  uint32_t p0 = 1, p1 = 1;
  std::unique_ptr<uint8_t[]> bits = c.getBitmask(&p0, &p1);
  ASSERT_TRUE(bits);
  EXPECT_EQ(p0, c.blackPixel()); // the tip is the first shown pixel
  EXPECT_EQ(p1, c.whitePixel());
  for (int y = 0; y < 21; y++)
    for (int x = 0; x < 12; x++) {
      bool set = bits[y * 2 + x / 8] & (0x80 >> (x % 8));
      EXPECT_EQ(set, arrowRows[y][x] == 'W') << x << "," << y;
    }
}

TEST(ArrowCursor, DrawsOnlyTheShownPixelsInsideTheDestination) {
  ArrowCursor c(PixelLayout::xrgb32LittleEndian, nullptr);
  const uint32_t grey = 0x808080;
  struct Case {
    const char* what;
    Point at;
  } cases[] = {{"inside", {3, 4}},
               {"over the right and bottom edge", {14, 10}},
               {"over the left and top edge", {-5, -7}},
               {"wholly outside", {40, 40}}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    ManagedPixelBuffer pb(PixelLayout::xrgb32LittleEndian, 20, 20);
    pb.fillRect(pb.getRect(), grey);
    c.drawInto(&pb, k.at);
    for (int y = 0; y < 20; y++)
      for (int x = 0; x < 20; x++) {
        int cx = x - k.at.x, cy = y - k.at.y;
        char want = cx >= 0 && cx < 12 && cy >= 0 && cy < 21 ? arrowRows[cy][cx] : '.';
        uint32_t expect = want == 'B' ? 0u : want == 'W' ? 0xFFFFFFu : grey;
        ASSERT_EQ(pb.getPixel(Point(x, y)) & 0xFFFFFF, expect) << x << "," << y;
      }
  }
}

TEST(ArrowCursor, DrawsIntoAnotherLayoutThroughConversion) {
  rfb::ColourCube cube(6, 6, 6);
  ArrowCursor c(PixelLayout::pal8, &cube);
  ManagedPixelBuffer pb(PixelLayout::rgb565, 12, 21);
  pb.fillRect(pb.getRect(), 0x1234);
  c.drawInto(&pb, Point(0, 0));
  EXPECT_EQ(pb.getPixel(Point(0, 0)), 0u);       // black tip
  EXPECT_EQ(pb.getPixel(Point(1, 2)), 0xFFFFu);  // white inside
  EXPECT_EQ(pb.getPixel(Point(11, 0)), 0x1234u); // not shown: untouched
}
