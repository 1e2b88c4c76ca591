#include "rfb/Composite.h"
#include "rfb/ColourCube.h"
#include "rfb/FullFramePixelBuffer.h"
#include "rfb/ManagedPixelBuffer.h"

#include <gtest/gtest.h>
#include <pixman.h>

#include <cstring>
#include <random>
#include <vector>

using rfb::ColourWithAlpha;
using rfb::ManagedPixelBuffer;
using rfb::PixelLayout;
using rfb::Point;
using rfb::Rect;

namespace {

ColourWithAlpha apply(rfb::ColourOp op, ColourWithAlpha s, ColourWithAlpha d) {
  op(s, &d);
  return d;
}

ColourWithAlpha colourAt(ManagedPixelBuffer& pb, int x, int y) {
  ColourWithAlpha c;
  rfb::pixelToColourWithAlpha(pb.getPF(), pb.getPixel(Point(x, y)), pb.getColourMap(), &c);
  return c;
}

void put(ManagedPixelBuffer& pb, int x, int y, const ColourWithAlpha& c) {
  pb.setPixel(Point(x, y), rfb::colourWithAlphaToPixel(pb.getPF(), c, pb.getColourMap()));
}

const PixelLayout bgr24(24, 24, false, true, 255, 255, 255, 0, 8, 16);
const PixelLayout be32(32, 24, true, true, 255, 255, 255, 8, 16, 24);
const PixelLayout be16(16, 16, true, true, 31, 63, 31, 11, 5, 0);

} // namespace

TEST(Composite, OperationsGiveTheDocumentedNumbers) {
  struct Case {
    const char* what;
    rfb::ColourOp op;
    ColourWithAlpha s, d, want;
  } cases[] = {
      {"over opaque",
       rfb::compositeOver,
       {10, 20, 30, 255},
       {200, 200, 200, 255},
       {10, 20, 30, 255}},
      {"over clear", rfb::compositeOver, {0, 0, 0, 0}, {200, 100, 7, 90}, {200, 100, 7, 90}},
      {"over half red",
       rfb::compositeOver,
       {128, 0, 0, 128},
       {255, 255, 255, 255},
       {255, 127, 127, 255}},
      {"multiply", rfb::multiplyByAlpha, {200, 100, 50, 128}, {1, 2, 3, 4}, {100, 50, 25, 4}},
      {"divide", rfb::divideByAlpha, {100, 50, 25, 128}, {1, 2, 3, 4}, {199, 100, 50, 4}},
      {"divide by zero alpha", rfb::divideByAlpha, {9, 9, 9, 0}, {1, 2, 3, 4}, {0, 0, 0, 4}},
      {"grey of white", rfb::greyscale, {255, 255, 255, 200}, {}, {255, 255, 255, 200}},
      {"grey of green", rfb::greyscale, {0, 255, 0, 255}, {}, {150, 150, 150, 255}},
      {"copy", rfb::srcCopy, {1, 2, 3, 4}, {9, 9, 9, 9}, {1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(apply(c.op, c.s, c.d), c.want);
  }
}

TEST(Composite, PixelConversionFollowsTheLayout) {
  ColourWithAlpha c;
  // No alpha channel reads as opaque and stores no alpha bits.
  rfb::pixelToColourWithAlpha(PixelLayout::xrgb32LittleEndian, 0x00123456, nullptr, &c);
  EXPECT_EQ(c, ColourWithAlpha(0x12, 0x34, 0x56, 255));
  EXPECT_EQ(rfb::colourWithAlphaToPixel(PixelLayout::xrgb32LittleEndian, {1, 2, 3, 128}, nullptr),
            0x00010203u);
  EXPECT_EQ(rfb::colourWithAlphaToPixel(PixelLayout::argb32, {1, 2, 3, 128}, nullptr), 0x80010203u);
  // Five- and six-bit channels are scaled with rounding both ways.
  rfb::pixelToColourWithAlpha(PixelLayout::rgb565, 0xffff, nullptr, &c);
  EXPECT_EQ(c, ColourWithAlpha(255, 255, 255, 255));
  rfb::pixelToColourWithAlpha(PixelLayout::rgb565, 16u << 11 | 32u << 5 | 1u, nullptr, &c);
  EXPECT_EQ(c, ColourWithAlpha(132, 130, 8, 255));
  EXPECT_EQ(rfb::colourWithAlphaToPixel(PixelLayout::rgb565, {132, 130, 8, 255}, nullptr),
            16u << 11 | 32u << 5 | 1u);
  // Big-endian words are swapped before their channels are taken.
  rfb::pixelToColourWithAlpha(be32, 0x00563412, nullptr, &c);
  EXPECT_EQ(c, ColourWithAlpha(0x56, 0x34, 0x12, 255));
  EXPECT_EQ(rfb::colourWithAlphaToPixel(be32, {0x56, 0x34, 0x12, 255}, nullptr), 0x00563412u);
  // A colour-mapped layout goes through its map.
  rfb::ColourCube cube(6, 6, 6);
  rfb::pixelToColourWithAlpha(PixelLayout::pal8, 215, &cube, &c);
  EXPECT_EQ(c, ColourWithAlpha(255, 255, 255, 255));
  EXPECT_EQ(rfb::colourWithAlphaToPixel(PixelLayout::pal8, {255, 0, 0, 255}, &cube), 180u);
}

// Half-transparent red over white lands as (255, 127, 127) quantised to each
// destination layout, at every pixel size.
TEST(Composite, OverAtEveryDepth) {
  rfb::ColourCube cube(6, 6, 6);
  const PixelLayout* layouts[] = {&PixelLayout::pal8,
                                  &PixelLayout::rgb222,
                                  &PixelLayout::rgb565,
                                  &be16,
                                  &bgr24,
                                  &PixelLayout::xrgb32LittleEndian,
                                  &PixelLayout::argb32,
                                  &be32};
  ManagedPixelBuffer src(PixelLayout::argb32, 3, 2);
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 3; x++)
      put(src, x, y, {128, 0, 0, 128});
  for (const PixelLayout* pf : layouts) {
    char desc[PixelLayout::describeSize] = "";
    pf->describe(desc);
    SCOPED_TRACE(desc);
    ManagedPixelBuffer dest(*pf, 4, 3, pf->trueColour ? nullptr : &cube);
    for (int y = 0; y < 3; y++)
      for (int x = 0; x < 4; x++)
        put(dest, x, y, {255, 255, 255, 255});
    uint32_t white = dest.getPixel(Point(0, 0));
    rfb::compositeRect(&src, Point(0, 0), &dest, Rect(1, 1, 4, 3), rfb::compositeOver);
    ColourWithAlpha want;
    rfb::pixelToColourWithAlpha(*pf, rfb::colourWithAlphaToPixel(*pf, {255, 127, 127, 255}, &cube),
                                &cube, &want);
    for (int y = 0; y < 3; y++)
      for (int x = 0; x < 4; x++) {
        if (x >= 1 && y >= 1)
          EXPECT_EQ(colourAt(dest, x, y), want) << x << "," << y;
        else
          EXPECT_EQ(dest.getPixel(Point(x, y)), white) << x << "," << y;
      }
  }
}

// Equal layouts copy raw pixels: bits outside every channel survive, which
// the per-pixel conversion would clear. compositeOver from a source without
// alpha copies the same way.
TEST(Composite, EqualLayoutsCopyRawPixels) {
  for (rfb::ColourOp op : {rfb::srcCopy, rfb::compositeOver}) {
    ManagedPixelBuffer src(PixelLayout::xrgb32LittleEndian, 2, 2);
    ManagedPixelBuffer dest(PixelLayout::xrgb32LittleEndian, 2, 2);
    src.fillRect(src.getRect(), 0xAB102030);
    dest.fillRect(dest.getRect(), 0);
    rfb::compositeRect(&src, Point(0, 0), &dest, dest.getRect(), op);
    EXPECT_EQ(dest.getPixel(Point(1, 1)), 0xAB102030u);
  }
  // Between different layouts the conversion runs and the spare byte is 0.
  ManagedPixelBuffer src(PixelLayout::xrgb32LittleEndian, 1, 1);
  ManagedPixelBuffer dest(PixelLayout::xbgr32LittleEndian, 1, 1);
  src.fillRect(src.getRect(), 0xAB102030);
  rfb::compositeRect(&src, Point(0, 0), &dest, dest.getRect(), rfb::srcCopy);
  EXPECT_EQ(dest.getPixel(Point(0, 0)), 0x00302010u);
}

TEST(Composite, ClippedRectangleKeepsTheSourceOffset) {
  ManagedPixelBuffer src(PixelLayout::argb32, 6, 6);
  for (int y = 0; y < 6; y++)
    for (int x = 0; x < 6; x++)
      src.setPixel(Point(x, y), 0xff000000u | uint32_t(y * 16 + x));
  for (const PixelLayout* pf : {&PixelLayout::argb32, &PixelLayout::xrgb32LittleEndian, &bgr24}) {
    ManagedPixelBuffer dest(*pf, 4, 4);
    dest.fillRect(dest.getRect(), 0);
    // Destination rectangle (-2, -1)..(2, 3) from source point (1, 1): the
    // visible pixel (0, 0) takes source (3, 2).
    rfb::compositeRect(&src, Point(1, 1), &dest, Rect(-2, -1, 2, 3), rfb::compositeOver);
    for (int y = 0; y < 4; y++)
      for (int x = 0; x < 4; x++) {
        ColourWithAlpha c = colourAt(dest, x, y);
        int want = x < 2 && y < 3 ? (y + 2) * 16 + x + 3 : 0;
        EXPECT_EQ(c.blue, want) << x << "," << y;
      }
  }
}

TEST(Composite, InPlaceMultiplyPremultipliesEachPixel) {
  ManagedPixelBuffer pb(PixelLayout::argb32, 3, 1);
  put(pb, 0, 0, {255, 0, 0, 128});
  put(pb, 1, 0, {200, 100, 50, 128});
  put(pb, 2, 0, {255, 255, 255, 0});
  rfb::compositeRectInPlace(&pb, pb.getRect(), rfb::multiplyByAlpha);
  EXPECT_EQ(colourAt(pb, 0, 0), ColourWithAlpha(128, 0, 0, 128));
  EXPECT_EQ(colourAt(pb, 1, 0), ColourWithAlpha(100, 50, 25, 128));
  EXPECT_EQ(colourAt(pb, 2, 0), ColourWithAlpha(0, 0, 0, 0));
}

// The whole-byte source-over agrees with pixman's OVER on random
// premultiplied pixels (odd widths exercise the tail of each row) and with
// the per-pixel operation on every layout pair it serves.
TEST(Composite, OverMatchesPixmanAndThePerPixelOperation) {
  std::mt19937 rng(16);
  // 37 columns: eight-pixel steps, a four-pixel step and a single pixel.
  const int w = 37, h = 9;
  ManagedPixelBuffer src(PixelLayout::argb32, w, h);
  // Rows 0 and 1 are wholly opaque and wholly clear, which are passed
  // through without arithmetic; in row 2 only the alpha of each fourth
  // pixel is below 255.
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      int a = int(rng() % 4 == 0 ? 255 : rng() % 4 == 0 ? 0 : rng() % 256);
      if (y == 0 || (y == 2 && x % 4))
        a = 255;
      if (y == 1) {
        put(src, x, y, ColourWithAlpha());
        continue;
      }
      ColourWithAlpha c(int(rng() % (a + 1)), int(rng() % (a + 1)), int(rng() % (a + 1)), a);
      if (a == 0 && rng() % 2)
        c = ColourWithAlpha();
      put(src, x, y, c);
    }
  for (const PixelLayout* pf : {&PixelLayout::xrgb32LittleEndian, &PixelLayout::argb32}) {
    ManagedPixelBuffer dest(*pf, w, h);
    std::vector<uint32_t> start(size_t(w) * h);
    for (uint32_t& v : start)
      v = rng();
    int stride;
    memcpy(dest.getDataRW(dest.getRect(), &stride), start.data(), start.size() * 4);
    if (pf->alphaMax == 0)
      for (uint32_t& v : start)
        v &= 0xffffff;
    // The reference: pixman, and the per-pixel rule applied colour by colour.
    std::vector<uint32_t> viaPixman = start, viaRule(start.size());
    pixman_image_t* ps =
        pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h,
                                 const_cast<uint32_t*>(reinterpret_cast<const uint32_t*>(
                                     src.getData(src.getRect(), &stride))),
                                 w * 4);
    pixman_image_t* pd = pixman_image_create_bits(pf->alphaMax ? PIXMAN_a8r8g8b8 : PIXMAN_x8r8g8b8,
                                                  w, h, viaPixman.data(), w * 4);
    pixman_image_composite32(PIXMAN_OP_OVER, ps, nullptr, pd, 0, 0, 0, 0, 0, 0, w, h);
    pixman_image_unref(ps);
    pixman_image_unref(pd);
    for (int i = 0; i < w * h; i++) {
      ColourWithAlpha s, d;
      rfb::pixelToColourWithAlpha(PixelLayout::argb32, src.getPixel(Point(i % w, i / w)), nullptr,
                                  &s);
      rfb::pixelToColourWithAlpha(*pf, start[size_t(i)], nullptr, &d);
      rfb::compositeOver(s, &d);
      viaRule[size_t(i)] = rfb::colourWithAlphaToPixel(*pf, d, nullptr);
    }
    rfb::compositeRect(&src, Point(0, 0), &dest, dest.getRect(), rfb::compositeOver);
    const uint32_t* got = reinterpret_cast<const uint32_t*>(dest.getData(dest.getRect(), &stride));
    uint32_t ignore = pf->alphaMax ? 0 : 0xff000000u;
    for (int i = 0; i < w * h; i++) {
      ASSERT_EQ(got[i], viaRule[size_t(i)]) << i;
      ASSERT_EQ(got[i] & ~ignore, viaPixman[size_t(i)] & ~ignore) << i;
    }
  }
}

TEST(Composite, MaskedImageTakesBitsFromTheOffset) {
  ManagedPixelBuffer pb(PixelLayout::rgb565, 4, 2);
  pb.fillRect(pb.getRect(), 0);
  const uint16_t pixels[] = {1, 2, 3, 4, 5, 6, 7, 8};
  // Offset 3: the first column's bit is bit 4 of the first byte.
  const uint8_t mask[] = {0x1A, 0x00, 0x05, 0x80};
  rfb::maskedImageRect(&pb, pb.getRect(), pixels, mask, 0, 2, 3);
  EXPECT_EQ(pb.getPixel(Point(0, 0)), 1u);
  EXPECT_EQ(pb.getPixel(Point(1, 0)), 2u);
  EXPECT_EQ(pb.getPixel(Point(2, 0)), 0u);
  EXPECT_EQ(pb.getPixel(Point(3, 0)), 4u);
  EXPECT_EQ(pb.getPixel(Point(0, 1)), 0u);
  EXPECT_EQ(pb.getPixel(Point(1, 1)), 0u);
  EXPECT_EQ(pb.getPixel(Point(2, 1)), 7u);
  EXPECT_EQ(pb.getPixel(Point(3, 1)), 0u);
  // Clipped on the left: the columns keep their own pixels and bits.
  pb.fillRect(pb.getRect(), 0);
  rfb::maskedImageRect(&pb, Rect(-1, 0, 3, 2), pixels, mask, 0, 2, 3);
  EXPECT_EQ(pb.getPixel(Point(0, 0)), 2u);
  EXPECT_EQ(pb.getPixel(Point(1, 0)), 0u);
  EXPECT_EQ(pb.getPixel(Point(2, 0)), 4u);
}
