#include "rfb/CursorWithAlpha.h"
#include "rfb/Composite.h"
#include "rfb/CursorWithMask.h"
#include "rfb/ManagedPixelBuffer.h"

#include <gtest/gtest.h>

using rfb::ColourWithAlpha;
using rfb::CursorWithAlpha;
using rfb::CursorWithMask;
using rfb::ManagedPixelBuffer;
using rfb::PixelLayout;
using rfb::Point;
using rfb::Rect;

namespace {

// A premultiplied colour as an argb32 pixel.
uint32_t argb(int a, int r, int g, int b) {
  return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

// A cursor of one row of pixels (argb32, hotspot at the left end).
std::unique_ptr<CursorWithAlpha> rowCursor(const std::vector<uint32_t>& pixels) {
  std::unique_ptr<CursorWithAlpha> c(
      new CursorWithAlpha(PixelLayout::argb32LittleEndian, Rect(0, 0, int(pixels.size()), 1)));
  for (size_t x = 0; x < pixels.size(); x++)
    c->image().setPixel(Point(int(x), 0), pixels[x]);
  return c;
}

} // namespace

TEST(CursorWithAlpha, TakesItsLayoutLittleEndian) {
  CursorWithAlpha c(PixelLayout::rgba32BigEndian, Rect(-2, -3, 4, 5));
  const PixelLayout& pf = c.image().getPF();
  EXPECT_FALSE(pf.bigEndian);
  EXPECT_EQ(pf.redShift, 0);
  EXPECT_EQ(pf.alphaShift, 24);
  EXPECT_EQ(c.getRect(), Rect(-2, -3, 4, 5));
  EXPECT_EQ(c.hotspot(), Point(2, 3));
  EXPECT_EQ(c.alphaThreshold(), 128);

  // A big-endian layout whose channels are not whole bytes stays as it is.
  PixelLayout be565(16, 16, true, true, 31, 63, 31, 11, 5, 0);
  CursorWithAlpha odd(be565, Rect(0, 0, 1, 1));
  EXPECT_TRUE(odd.image().getPF().bigEndian);
}

TEST(CursorWithAlpha, MaskTakesAlphaAboveTheThresholdOnly) {
  auto c = rowCursor({argb(0, 0, 0, 0), argb(127, 10, 10, 10), argb(128, 20, 20, 20),
                      argb(129, 30, 30, 30), argb(255, 40, 40, 40)});
  CursorWithMask m;
  m.image().setPF(PixelLayout::xrgb32LittleEndian);
  c->copyToWithMask(&m);
  EXPECT_EQ(m.getRect(), c->getRect());
  EXPECT_FALSE(m.isShown(0, 0));
  EXPECT_FALSE(m.isShown(1, 0));
  EXPECT_FALSE(m.isShown(2, 0)) << "alpha 128 is not above the threshold";
  EXPECT_TRUE(m.isShown(3, 0)) << "alpha 129 is";
  EXPECT_TRUE(m.isShown(4, 0));
}

TEST(CursorWithAlpha, MaskCursorGetsUnpremultipliedColours) {
  auto c = rowCursor({argb(128, 64, 32, 0), argb(255, 1, 2, 3), argb(0, 0, 0, 0)});
  CursorWithMask m;
  m.image().setPF(PixelLayout::xrgb32LittleEndian);
  c->copyToWithMask(&m);
  EXPECT_EQ(m.image().getPixel(Point(0, 0)) & 0xFFFFFF, 0x804000u);
  EXPECT_EQ(m.image().getPixel(Point(1, 0)) & 0xFFFFFF, 0x010203u);
  EXPECT_EQ(m.image().getPixel(Point(2, 0)) & 0xFFFFFF, 0u);
}

TEST(CursorWithAlpha, MaskFromAColourMappedOrOpaqueLayoutShowsEverything) {
  // Without an alpha channel every pixel counts as opaque.
  CursorWithAlpha c(PixelLayout::xrgb32LittleEndian, Rect(0, 0, 3, 2));
  c.image().fillRect(c.getRect(), 0x102030);
  CursorWithMask m;
  m.image().setPF(PixelLayout::xrgb32LittleEndian);
  c.copyToWithMask(&m);
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 3; x++)
      EXPECT_TRUE(m.isShown(x, y));
}

TEST(CursorWithAlpha, DrawsByCompositingOver) {
  auto c = rowCursor({argb(255, 255, 0, 0), argb(128, 0, 0, 128), argb(0, 0, 0, 0)});
  ManagedPixelBuffer pb(PixelLayout::xrgb32LittleEndian, 5, 1);
  pb.fillRect(pb.getRect(), 0xFFFFFF);
  c->drawInto(&pb, Point(3, 0)); // the third pixel falls outside
  EXPECT_EQ(pb.getPixel(Point(2, 0)) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(pb.getPixel(Point(3, 0)) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(pb.getPixel(Point(4, 0)) & 0xFFFFFF, 0x7F7FFFu);
}

TEST(CursorWithAlpha, CloneIsEqualUntilAPixelChanges) {
  auto c = rowCursor({argb(10, 1, 2, 3), argb(0, 0, 0, 0)});
  std::unique_ptr<rfb::Cursor> copy = c->clone();
  EXPECT_TRUE(copy->equals(*c));
  EXPECT_TRUE(c->equals(*copy));
  c->image().setPixel(Point(1, 0), argb(0, 0, 0, 1));
  EXPECT_FALSE(copy->equals(*c));

  CursorWithAlpha otherLayout(PixelLayout::xrgb32LittleEndian, copy->getRect());
  otherLayout.image().fillRect(otherLayout.getRect(), 0);
  CursorWithAlpha sameLayout(PixelLayout::argb32LittleEndian, copy->getRect());
  sameLayout.image().fillRect(sameLayout.getRect(), 0);
  EXPECT_FALSE(otherLayout.equals(sameLayout));
  EXPECT_TRUE(sameLayout.equals(*sameLayout.clone()));
}

TEST(CursorWithAlpha, HasNoTwoColourForm) {
  auto c = rowCursor({argb(255, 0, 0, 0)});
  uint32_t p0, p1;
  EXPECT_EQ(c->getBitmask(&p0, &p1), nullptr);
}

TEST(CursorWithAlpha, CropKeepsThePixelsWithAnyAlpha) {
  CursorWithAlpha c(PixelLayout::argb32LittleEndian, Rect(-1, -1, 5, 4));
  c.image().fillRect(c.getRect(), 0);
  c.image().setPixel(Point(3, 1), argb(1, 0, 0, 1));
  c.image().setPixel(Point(4, 2), argb(200, 9, 9, 9));
  c.crop();
  EXPECT_EQ(c.getRect(), Rect(0, 0, 4, 2));
  EXPECT_EQ(c.image().getPixel(Point(2, 0)), argb(1, 0, 0, 1));
  EXPECT_EQ(c.image().getPixel(Point(3, 1)), argb(200, 9, 9, 9));
  EXPECT_EQ(c.image().getPixel(Point(0, 0)), 0u);
}

TEST(CursorWithAlpha, CopyToAnotherAlphaCursorConvertsTheLayout) {
  auto c = rowCursor({argb(255, 255, 0, 0), argb(128, 0, 128, 0)});
  CursorWithAlpha target(PixelLayout::rgba32BigEndian, Rect(0, 0, 1, 1));
  c->copyTo(&target);
  EXPECT_EQ(target.getRect(), c->getRect());
  ColourWithAlpha colour;
  rfb::pixelToColourWithAlpha(target.image().getPF(), target.image().getPixel(Point(1, 0)), nullptr,
                              &colour);
  EXPECT_EQ(colour, ColourWithAlpha(0, 128, 0, 128));
}
