#include "rfb/TransPixelBuffer.h"
#include "rfb/TransImageGetter.h"

#include "rfb/ColourMapRW.h"
#include "rfb/ManagedPixelBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using rfb::ManagedPixelBuffer;
using rfb::PixelLayout;
using rfb::Point;
using rfb::Rect;
using rfb::TransPixelBuffer;

namespace {

const PixelLayout rgb888(32, 24, false, true, 255, 255, 255, 16, 8, 0);
const PixelLayout limit555(16, 15, false, true, 31, 31, 31, 10, 5, 0);
const PixelLayout pal8Depth8(8, 8, false, false, 0, 0, 0, 0, 0, 0);

class Palette : public rfb::ColourMapRW {
public:
  explicit Palette(int n) : entries(size_t(n)) {}
  void lookup(int i, rfb::Colour* c) override {
    if (i >= 0 && i < size())
      *c = entries[size_t(i)];
  }
  int size() override { return int(entries.size()); }
  void setEntry(int i, const rfb::Colour& c) override { entries[size_t(i)] = c; }
  std::vector<rfb::Colour> entries;
};

class Receiver : public rfb::ColourMapReceiver {
public:
  void setColourMapEntries(int f, int n, rfb::ColourMap* m) override {
    first = f;
    count = n;
    map = m;
  }
  int first = -1, count = -1;
  rfb::ColourMap* map = nullptr;
};

// Translates one pixel through a fresh buffer.
uint32_t translate(const PixelLayout& in, uint32_t pixel, const PixelLayout& out,
                   bool threeTables = false, const PixelLayout* limit = nullptr,
                   rfb::ColourMap* inMap = nullptr) {
  ManagedPixelBuffer src(in, 1, 1, inMap);
  src.setPixel(Point(0, 0), pixel);
  TransPixelBuffer t(threeTables);
  if (limit)
    t.setLimitPF(*limit);
  t.setPF(out);
  t.setSource(&src);
  uint32_t v = 0;
  t.getImage(&v, Rect(0, 0, 1, 1));
  return v;
}

} // namespace

TEST(ColourCube, CellsAndLevels) {
  rfb::ColourCube cube(6, 6, 6);
  EXPECT_EQ(cube.size(), 216);
  EXPECT_TRUE(cube.isOrthogonal());
  EXPECT_EQ(cube.lookupRGB(rfb::Colour(255, 255, 255)), 215);
  EXPECT_EQ(cube.lookupRGB(rfb::Colour(0, 0, 0)), 0);
  EXPECT_EQ(cube.lookupRGB(rfb::Colour(255, 0, 0)), 180);
  EXPECT_EQ(cube.lookupRGB(rfb::Colour(0, 102, 25)), 2 * 6);
  rfb::Colour c;
  cube.lookup(1 * 36 + 2 * 6 + 3, &c);
  EXPECT_EQ(c, rfb::Colour(51, 102, 153));
  // Beyond the cube the colour stays as it was.
  c = rfb::Colour(1, 2, 3);
  cube.lookup(216, &c);
  cube.lookup(-1, &c);
  EXPECT_EQ(c, rfb::Colour(1, 2, 3));
  // Colours out of range pick the nearest end instead of a cell outside.
  EXPECT_EQ(cube.lookupRGB(rfb::Colour(400, -30, 256)), 180 + 5);
  // A table of allocated pixel values maps cells to them.
  std::unique_ptr<uint32_t[]> table(new uint32_t[8]);
  for (int i = 0; i < 8; i++)
    table[i] = uint32_t(100 + i);
  rfb::ColourCube small(2, 2, 2, std::move(table));
  EXPECT_EQ(small.lookupRGB(rfb::Colour(255, 0, 255)), 105);
}

TEST(TransPixelBuffer, EqualLayoutsPassTheSourceThrough) {
  ManagedPixelBuffer src(rgb888, 4, 3);
  src.fillRect(src.getRect(), 0x123456);
  TransPixelBuffer t;
  t.setSource(&src);
  t.setPF(rgb888);
  EXPECT_FALSE(t.translates());
  EXPECT_EQ(t.width(), 4);
  EXPECT_EQ(t.height(), 3);
  int stride = 0, srcStride = 0;
  EXPECT_EQ(t.getData(Rect(1, 1, 3, 2), &stride), src.getData(Rect(1, 1, 3, 2), &srcStride));
  EXPECT_EQ(stride, srcStride);
}

TEST(TransPixelBuffer, LimitQuantisesEachChannel) {
  struct Case {
    int in, out;
  } cases[] = {{128, 132}, {200, 197}, {255, 255}, {1, 0}};
  for (const Case& c : cases) {
    uint32_t v = translate(rgb888, uint32_t(c.in) * 0x010101u, rgb888, false, &limit555);
    EXPECT_EQ(v, uint32_t(c.out) * 0x010101u) << c.in;
  }
  ManagedPixelBuffer src(rgb888, 1, 1);
  TransPixelBuffer t;
  t.setLimitPF(limit555);
  t.setPF(rgb888);
  t.setSource(&src);
  EXPECT_TRUE(t.translates());
  TransPixelBuffer deep;
  deep.setLimitPF(PixelLayout::xbgr32LittleEndian);
  deep.setPF(rgb888);
  deep.setSource(&src);
  EXPECT_FALSE(deep.translates());
  // A colour-mapped limit is ignored.
  TransPixelBuffer mapped;
  mapped.setLimitPF(PixelLayout::pal8);
  mapped.setPF(rgb888);
  mapped.setSource(&src);
  EXPECT_FALSE(mapped.translates());
}

TEST(TransPixelBuffer, TrueColourToPseudoColourUsesAColourCube) {
  ManagedPixelBuffer src(rgb888, 3, 1);
  src.setPixel(Point(0, 0), 0xffffff);
  src.setPixel(Point(1, 0), 0xff0000);
  src.setPixel(Point(2, 0), 0x000000);
  TransPixelBuffer t;
  t.setSource(&src);
  t.setPF(pal8Depth8);
  t.setColourCube(nullptr);
  Receiver r;
  t.setColourMapEntries(0, 0, &r);
  rfb::ColourCube* cube = dynamic_cast<rfb::ColourCube*>(t.getColourMap());
  ASSERT_NE(cube, nullptr);
  EXPECT_EQ(cube->nRed(), 6);
  EXPECT_EQ(r.count, 216);
  EXPECT_EQ(r.map, cube);
  uint8_t out[3];
  t.getImage(out, src.getRect());
  EXPECT_EQ(out[0], 215);
  EXPECT_EQ(out[1], 180);
  EXPECT_EQ(out[2], 0);
  t.setColourMapEntries(5, 0, &r);
  EXPECT_EQ(r.first, 5);
  EXPECT_EQ(r.count, 211);
}

TEST(TransPixelBuffer, CubeSizeFollowsTheOutputDepth) {
  struct Case {
    int depth, levels;
  } cases[] = {{3, 2}, {4, 2}, {5, 3}, {6, 4}, {7, 5}, {8, 6}};
  ManagedPixelBuffer src(rgb888, 1, 1);
  for (const Case& c : cases) {
    TransPixelBuffer t;
    t.setSource(&src);
    t.setPF(PixelLayout(8, c.depth, false, false, 0, 0, 0, 0, 0, 0));
    auto* cube = dynamic_cast<rfb::ColourCube*>(t.getColourMap());
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(cube->nRed(), c.levels) << c.depth;
  }
}

// An owner's cube of allocated pixel values is orthogonal: the three
// channel entries add up to its pixel.
TEST(TransPixelBuffer, OwnersCubeMapsToItsPixels) {
  std::unique_ptr<uint32_t[]> table(new uint32_t[8]);
  for (int i = 0; i < 8; i++)
    table[i] = uint32_t(i * 3);
  rfb::ColourCube cube(2, 2, 2, std::move(table));
  ManagedPixelBuffer src(rgb888, 1, 1);
  src.setPixel(Point(0, 0), 0xff00ff);
  TransPixelBuffer t;
  t.setSource(&src);
  t.setPF(pal8Depth8);
  t.setColourCube(&cube);
  EXPECT_EQ(t.getColourMap(), &cube);
  uint8_t out = 0;
  t.getImage(&out, src.getRect());
  EXPECT_EQ(out, 15);
}

// A big-endian colour-mapped output gets its pixel values in its own byte
// order, from true-colour and from colour-mapped input alike.
TEST(TransPixelBuffer, BigEndianColourMappedOutputIsWrittenInItsOrder) {
  const PixelLayout bePal16(16, 8, true, false, 0, 0, 0, 0, 0, 0);
  std::unique_ptr<uint32_t[]> table(new uint32_t[8]);
  for (int i = 0; i < 8; i++)
    table[i] = uint32_t(i * 3);
  rfb::ColourCube cube(2, 2, 2, std::move(table));
  Palette pal(2);
  pal.setEntry(0, rfb::Colour(255, 255, 255));
  pal.setEntry(1, rfb::Colour(255, 0, 255));
  struct Case {
    PixelLayout in;
    rfb::ColourMap* map;
    uint32_t white, magenta;
  } cases[] = {{PixelLayout::rgb565, nullptr, 0xffff, 0xf81f},
               {PixelLayout::pal8, &pal, 0, 1},
               {rgb888, nullptr, 0xffffff, 0xff00ff}};
  for (const Case& c : cases) {
    ManagedPixelBuffer src(c.in, 2, 1, c.map);
    src.setPixel(Point(0, 0), c.white);
    src.setPixel(Point(1, 0), c.magenta);
    TransPixelBuffer t;
    t.setSource(&src);
    t.setPF(bePal16);
    t.setColourCube(&cube);
    uint8_t out[4] = {};
    t.getImage(out, src.getRect());
    // Cells 7 and 5 of the cube: pixels 21 and 15, high byte first.
    EXPECT_EQ(out[0], 0) << c.in.bpp;
    EXPECT_EQ(out[1], 21) << c.in.bpp;
    EXPECT_EQ(out[2], 0) << c.in.bpp;
    EXPECT_EQ(out[3], 15) << c.in.bpp;
  }
}

// True-colour input of every size and table kind to colour-mapped output of
// 8 and 16 bits in both byte orders, through each kind of map: cubes that
// are orthogonal (the three channel entries add up to the pixel, also when
// the sum carries into the high byte) and a palette reached through an
// intermediate cube.
TEST(TransPixelBuffer, TrueColourToColourMappedOutputInEveryByteOrder) {
  const PixelLayout rgb888In24(24, 24, false, true, 255, 255, 255, 16, 8, 0);
  std::unique_ptr<uint32_t[]> smallTable(new uint32_t[8]), wideTable(new uint32_t[8]);
  for (int i = 0; i < 8; i++) {
    smallTable[i] = uint32_t(i * 3);
    wideTable[i] = uint32_t(i * 100);
  }
  rfb::ColourCube smallCube(2, 2, 2, std::move(smallTable));
  // Red 400 (0x190), green 200 (0xc8), blue 100 (0x64): white is 700, whose
  // low bytes carry.
  rfb::ColourCube wideCube(2, 2, 2, std::move(wideTable));
  Palette palette(256);
  palette.setEntry(200, rfb::Colour(255, 255, 255));
  palette.setEntry(77, rfb::Colour(255, 0, 255));
  struct Map {
    const char* name;
    rfb::ColourMap* map;
    uint32_t white, magenta;
  } maps[] = {{"small cube", &smallCube, 21, 15},
              {"cube beyond a byte", &wideCube, 700, 500},
              {"palette", &palette, 200, 77}};
  struct Input {
    const char* name;
    PixelLayout pf;
    bool threeTables;
    uint32_t white, magenta;
  } inputs[] = {{"32-bit", rgb888, false, 0xffffff, 0xff00ff},
                {"24-bit", rgb888In24, false, 0xffffff, 0xff00ff},
                {"16-bit, three tables", PixelLayout::rgb565, true, 0xffff, 0xf81f},
                {"16-bit, one table", PixelLayout::rgb565, false, 0xffff, 0xf81f}};
  const PixelLayout outputs[] = {pal8Depth8, PixelLayout(16, 8, false, false, 0, 0, 0, 0, 0, 0),
                                 PixelLayout(16, 8, true, false, 0, 0, 0, 0, 0, 0)};
  auto bytesOf = [](uint32_t p, const PixelLayout& out) {
    if (out.bpp == 8)
      return std::vector<uint8_t>{uint8_t(p)};
    if (out.bigEndian)
      return std::vector<uint8_t>{uint8_t(p >> 8), uint8_t(p)};
    return std::vector<uint8_t>{uint8_t(p), uint8_t(p >> 8)};
  };
  for (const Map& m : maps) {
    for (const Input& in : inputs) {
      for (const PixelLayout& out : outputs) {
        if (out.bpp == 8 && m.white > 255)
          continue;
        SCOPED_TRACE(std::string(m.name) + ", " + in.name + " in, " + std::to_string(out.bpp) +
                     (out.bigEndian ? "-bit big-endian out" : "-bit little-endian out"));
        ManagedPixelBuffer src(in.pf, 2, 1);
        src.setPixel(Point(0, 0), in.white);
        src.setPixel(Point(1, 0), in.magenta);
        TransPixelBuffer t(in.threeTables);
        t.setSource(&src);
        t.setPF(out);
        t.setColourCube(m.map);
        uint8_t bytes[4] = {};
        t.getImage(bytes, src.getRect());
        std::vector<uint8_t> expected = bytesOf(m.white, out), second = bytesOf(m.magenta, out);
        expected.insert(expected.end(), second.begin(), second.end());
        EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + expected.size()), expected);
      }
    }
  }
}

TEST(TransPixelBuffer, ColourMappedInputToTrueColour) {
  Palette pal(256);
  for (int i = 0; i < 256; i++)
    pal.setEntry(i, rfb::Colour(i, 255 - i, i / 2));
  ManagedPixelBuffer src(PixelLayout::pal8, 256, 1, &pal);
  for (int i = 0; i < 256; i++)
    src.setPixel(Point(i, 0), uint32_t(i));
  TransPixelBuffer t;
  t.setSource(&src);
  t.setPF(rgb888);
  EXPECT_EQ(t.tableEntries(), 256);
  int stride = 0;
  const uint32_t* out = reinterpret_cast<const uint32_t*>(t.getData(src.getRect(), &stride));
  for (int i = 0; i < 256; i++)
    EXPECT_EQ(out[i], uint32_t(i) << 16 | uint32_t(255 - i) << 8 | uint32_t(i / 2)) << i;
  // A changed map is picked up when the owner says so.
  pal.setEntry(7, rfb::Colour(1, 2, 3));
  t.setColourMapEntries(7, 1, nullptr);
  out = reinterpret_cast<const uint32_t*>(t.getData(src.getRect(), &stride));
  EXPECT_EQ(out[7], 0x010203u);
}

TEST(TransPixelBuffer, TableKinds) {
  ManagedPixelBuffer src(PixelLayout::rgb565, 1, 1);
  TransPixelBuffer three(true);
  three.setSource(&src);
  three.setPF(rgb888);
  EXPECT_EQ(three.tableEntries(), 31 + 63 + 31 + 3);
  rfb::TransImageGetter one;
  one.setSource(&src);
  one.setPF(rgb888);
  EXPECT_EQ(one.tableEntries(), 65536);
}

// The same pixels come out of the one-table and the three-table kinds, for
// each output size, and match the documented rounding.
TEST(TransPixelBuffer, TranslationNumbers) {
  const PixelLayout bgr24(24, 24, false, true, 255, 255, 255, 0, 8, 16);
  const PixelLayout be32(32, 24, true, true, 255, 255, 255, 8, 16, 24);
  const PixelLayout be16(16, 16, true, true, 31, 63, 31, 11, 5, 0);
  // Big-endian 24-bit pixels: most significant byte first in memory,
  // whichever kind of table translates into them.
  const PixelLayout be24(24, 24, true, true, 255, 255, 255, 16, 8, 0);
  const PixelLayout bgr233;
  struct Case {
    const PixelLayout* in;
    uint32_t pixel;
    const PixelLayout* out;
    uint32_t want;
  } cases[] = {
      {&rgb888, 0x808080, &PixelLayout::rgb565, 16u << 11 | 32u << 5 | 16u},
      {&rgb888, 0xff8001, &PixelLayout::rgb565, 31u << 11 | 32u << 5 | 0u},
      {&rgb888, 0xffffff, &bgr233, 0xff},
      {&rgb888, 0x123456, &bgr24, 0x563412},
      {&rgb888, 0x123456, &be32, 0x00123456},
      {&rgb888, 0xffffff, &be16, 0xffff},
      {&rgb888, 0x0000ff, &be16, 0x1f00},
      {&rgb888, 0x123456, &be24, 0x563412},
      {&PixelLayout::rgb565, 16u << 11 | 32u << 5 | 1u, &be24, 0x088284},
      {&PixelLayout::rgb565, 0xffff, &rgb888, 0xffffff},
      {&PixelLayout::rgb565, 16u << 11 | 32u << 5 | 1u, &rgb888, 132u << 16 | 130u << 8 | 8u},
      {&PixelLayout::rgb555, 0x7fff, &rgb888, 0xffffff},
      {&PixelLayout::rgb555, 1u << 10, &rgb888, 8u << 16},
      {&PixelLayout::rgb222, 0x3f, &rgb888, 0xffffff},
  };
  for (const Case& c : cases) {
    char desc[PixelLayout::describeSize] = "";
    c.out->describe(desc);
    SCOPED_TRACE(desc);
    uint32_t mask = c.out->bpp == 32 ? ~0u : (1u << c.out->bpp) - 1;
    EXPECT_EQ(translate(*c.in, c.pixel, *c.out) & mask, c.want) << std::hex << c.pixel;
    if (c.in->bpp == 16) {
      EXPECT_EQ(translate(*c.in, c.pixel, *c.out, true) & mask, c.want) << std::hex << c.pixel;
    }
  }
}

// Big-endian input below 16 bits of depth: a native read sees the value's
// low byte (which holds green bits) in its high byte, so the value must be
// swapped before it is cut to the depth, or the top green bit is lost.
TEST(TransPixelBuffer, BigEndianShallowInputKeepsItsHighBits) {
  const PixelLayout be555(16, 15, true, true, 31, 31, 31, 10, 5, 0);
  struct Case {
    uint32_t native;
    uint32_t want;
  } cases[] = {
      {0xe003, 0x00ff00}, // green 31: the value 0x03e0, in memory 03 e0
      {0x007c, 0xff0000}, // red 31
      {0x1f00, 0x0000ff}, // blue 31
      {0xff7f, 0xffffff}, // all channels
  };
  for (const Case& c : cases)
    EXPECT_EQ(translate(be555, c.native, rgb888), c.want) << std::hex << c.native;
}

TEST(TransPixelBuffer, GetDataTranslatesIntoScratch) {
  ManagedPixelBuffer src(rgb888, 5, 4);
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 5; x++)
      src.setPixel(Point(x, y), uint32_t(x * 40) << 16 | uint32_t(y * 60));
  TransPixelBuffer t;
  t.setSource(&src);
  t.setPF(PixelLayout::rgb565);
  int stride = 0;
  const uint16_t* p = reinterpret_cast<const uint16_t*>(t.getData(Rect(1, 1, 4, 3), &stride));
  EXPECT_EQ(stride, 3);
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 3; x++)
      EXPECT_EQ(p[y * stride + x],
                translate(rgb888, src.getPixel(Point(x + 1, y + 1)), PixelLayout::rgb565));
  // getImage honours a wider destination stride.
  std::vector<uint16_t> out(8 * 2, 0xAAAA);
  t.getImage(out.data(), Rect(0, 0, 2, 2), 8);
  EXPECT_EQ(out[2], 0xAAAA);
  EXPECT_EQ(out[8], translate(rgb888, src.getPixel(Point(0, 1)), PixelLayout::rgb565));
}

TEST(TransPixelBuffer, NullSourceEmptiesTheBuffer) {
  ManagedPixelBuffer src(rgb888, 5, 4);
  TransPixelBuffer t;
  t.setSource(&src);
  t.setSource(nullptr);
  EXPECT_EQ(t.width(), 0);
  EXPECT_EQ(t.height(), 0);
}

// Every 8-bit channel value, and random pixels, come out of the computed
// 32-to-16-bit translation as out of its tables (a limit of 8 bits per
// channel changes nothing but makes the buffer use the tables). 61 columns:
// sixteen- and eight-pixel steps and single pixels.
TEST(TransPixelBuffer, ComputedTranslationMatchesTheTables) {
  const PixelLayout bgr888(32, 24, false, true, 255, 255, 255, 0, 8, 16);
  const PixelLayout bgr565(16, 16, false, true, 31, 63, 31, 0, 5, 11);
  const PixelLayout odd16(16, 16, false, true, 15, 127, 31, 12, 5, 0);
  std::mt19937 rng(43);
  for (const PixelLayout* in : {&rgb888, &bgr888}) {
    for (const PixelLayout* out : {&PixelLayout::rgb565, &bgr565, &PixelLayout::rgb555, &odd16}) {
      const int w = 61, h = 6;
      ManagedPixelBuffer src(*in, w, h);
      for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
          int i = y * w + x;
          src.setPixel(Point(x, y), i < 256 ? uint32_t(i) * 0x010101u : rng() & 0xffffff);
        }
      TransPixelBuffer computed, tabled;
      computed.setPF(*out);
      computed.setSource(&src);
      tabled.setLimitPF(rgb888);
      tabled.setPF(*out);
      tabled.setSource(&src);
      std::vector<uint16_t> a(size_t(w) * h), b(size_t(w) * h);
      computed.getImage(a.data(), src.getRect());
      tabled.getImage(b.data(), src.getRect());
      ASSERT_EQ(a, b);
    }
  }
}
