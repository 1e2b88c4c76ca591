#include "rfb/PixelLayout.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>

using rfb::PixelLayout;

static std::string describe(const PixelLayout& pf) {
  char buf[PixelLayout::describeSize] = "";
  pf.describe(buf);
  return buf;
}

TEST(PixelLayout, DefaultIsBgr233) {
  PixelLayout pf;
  EXPECT_EQ(describe(pf), "depth 8 (8 bpp) bgr233");
  EXPECT_TRUE(pf.depthAndBppAreValid());
}

TEST(PixelLayout, DescribesSharedLayouts) {
  struct Case {
    const PixelLayout& pf;
    const char* text;
  } cases[] = {
      {PixelLayout::rgb565, "depth 16 (16 bpp) little-endian rgb565"},
      {PixelLayout::rgb555, "depth 15 (16 bpp) little-endian rgb555"},
      {PixelLayout::rgb222, "depth 6 (8 bpp) rgb222"},
      {PixelLayout::pal8, "depth 8 (8 bpp) colour-map"},
      {PixelLayout::xrgb32LittleEndian, "depth 24 (32 bpp) little-endian rgb888"},
      {PixelLayout::xbgr32LittleEndian, "depth 24 (32 bpp) little-endian bgr888"},
      // depth 32 with 24 colour bits fits neither named form
      {PixelLayout::argb32,
       "depth 32 (32 bpp) little-endian rgb max 255,255,255 shift 16,8,0 alpha max 255 shift 24"},
      {PixelLayout::rgba32BigEndian,
       "depth 32 (32 bpp) big-endian rgb max 255,255,255 shift 24,16,8 alpha max 255 shift 0"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(describe(c.pf), c.text);
}

TEST(PixelLayout, DescribeIsBoundedAndAppends) {
  char buf[PixelLayout::describeSize];
  memset(buf, 'x', sizeof(buf) - 10);
  buf[sizeof(buf) - 10] = '\0';
  PixelLayout::argb32.describe(buf);
  EXPECT_EQ(strlen(buf), size_t(PixelLayout::describeSize - 1));
}

TEST(PixelLayout, SharedLayoutsArgb32AreDistinctEqualInstances) {
  EXPECT_NE(&PixelLayout::argb32, &PixelLayout::argb32LittleEndian);
  EXPECT_TRUE(PixelLayout::argb32.equal(PixelLayout::argb32LittleEndian));
}

TEST(PixelLayout, ParseTable) {
  struct Case {
    const char* text;
    bool ok;
    int bpp, depth;
    bool trueColour;
    int redMax, greenMax, blueMax, redShift, greenShift, blueShift;
  } cases[] = {
      {"rgb565", true, 16, 16, true, 31, 63, 31, 11, 5, 0},
      {"RGB565", true, 16, 16, true, 31, 63, 31, 11, 5, 0},
      {"bgr233", true, 8, 8, true, 7, 7, 3, 0, 3, 6},
      {"rgb888", true, 32, 24, true, 255, 255, 255, 16, 8, 0},
      {"rgb332", true, 8, 8, true, 7, 7, 3, 5, 2, 0},
      {"bgr555", true, 16, 15, true, 31, 31, 31, 0, 5, 10},
      {"rgb999", true, 32, 27, true, 511, 511, 511, 18, 9, 0},
      {"pal8", true, 8, 8, false, -1, -1, -1, -1, -1, -1},
      {"PAL3x", true, 8, 3, false, -1, -1, -1, -1, -1, -1},
      {"rgb5650", false, 0, 0, false, 0, 0, 0, 0, 0, 0},
      {"rgb065", false, 0, 0, false, 0, 0, 0, 0, 0, 0},
      {"rgb56a", false, 0, 0, false, 0, 0, 0, 0, 0, 0},
      {"xyz565", false, 0, 0, false, 0, 0, 0, 0, 0, 0},
      {"pal2", false, 0, 0, false, 0, 0, 0, 0, 0, 0},
      {"pal9", false, 0, 0, false, 0, 0, 0, 0, 0, 0},
      {"", false, 0, 0, false, 0, 0, 0, 0, 0, 0},
      {"rgb", false, 0, 0, false, 0, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    PixelLayout pf(32, 32, true, true, 1, 1, 1, 1, 1, 1, 7, 3);
    ASSERT_EQ(pf.parse(c.text), c.ok);
    if (!c.ok)
      continue;
    EXPECT_EQ(pf.bpp, c.bpp);
    EXPECT_EQ(pf.depth, c.depth);
    EXPECT_EQ(pf.trueColour, c.trueColour);
    EXPECT_FALSE(pf.bigEndian);
    EXPECT_EQ(pf.alphaMax, 3); // alpha fields keep their values
    EXPECT_EQ(pf.alphaShift, 7);
    if (c.trueColour) {
      EXPECT_EQ(pf.redMax, c.redMax);
      EXPECT_EQ(pf.greenMax, c.greenMax);
      EXPECT_EQ(pf.blueMax, c.blueMax);
      EXPECT_EQ(pf.redShift, c.redShift);
      EXPECT_EQ(pf.greenShift, c.greenShift);
      EXPECT_EQ(pf.blueShift, c.blueShift);
    } else {
      EXPECT_EQ(pf.redMax, 1); // maxima untouched
    }
  }
}

TEST(PixelLayout, EqualTable) {
  PixelLayout be8(8, 8, true, true, 7, 7, 3, 0, 3, 6);
  PixelLayout le8;
  PixelLayout mapA(8, 8, false, false, 1, 2, 3, 4, 5, 6);
  PixelLayout mapB(8, 8, true, false, 9, 9, 9, 0, 0, 0);
  PixelLayout be16 = PixelLayout::rgb565;
  be16.bigEndian = true;
  PixelLayout alphaShifted = PixelLayout::argb32;
  alphaShifted.alphaShift = 0;
  struct Case {
    const PixelLayout& a;
    const PixelLayout& b;
    bool equal;
  } cases[] = {
      {be8, le8, true},
      {mapA, mapB, true},
      {PixelLayout::rgb565, be16, false},
      {PixelLayout::rgb565, PixelLayout::rgb555, false},
      {PixelLayout::argb32, alphaShifted, false},
      {PixelLayout::pal8, le8, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.a.equal(c.b), c.equal);
    EXPECT_EQ(c.b.equal(c.a), c.equal);
  }
}

TEST(PixelLayout, ValidityTable) {
  struct Case {
    int bpp, depth;
    bool trueColour, valid;
  } cases[] = {{8, 8, true, true},    {16, 16, true, true},  {24, 24, true, true},
               {32, 24, true, true},  {32, 33, true, false}, {12, 12, true, false},
               {16, 0, true, false},  {8, 2, false, false},  {8, 3, false, true},
               {16, 9, false, false}, {16, 8, false, true},  {24, 8, false, false},
               {32, 8, false, false}};
  for (const Case& c : cases) {
    PixelLayout pf(c.bpp, c.depth, false, c.trueColour, 1, 1, 1, 0, 0, 0);
    EXPECT_EQ(pf.depthAndBppAreValid(), c.valid) << c.bpp << "/" << c.depth;
  }
}

// A true-colour layout read from a peer is used to shift and divide by its
// channels: each channel must have a maximum and lie inside the pixel.
TEST(PixelLayout, ValidityRequiresChannelsInsideThePixel) {
  struct Case {
    const char* name;
    PixelLayout pf;
    bool valid;
  } cases[] = {
      {"xrgb", PixelLayout(32, 24, false, true, 255, 255, 255, 16, 8, 0), true},
      {"top channel ends at bit 32", PixelLayout(32, 24, false, true, 255, 255, 255, 24, 8, 0),
       true},
      {"red shift 25", PixelLayout(32, 24, false, true, 255, 255, 255, 25, 8, 0), false},
      {"red shift 200", PixelLayout(32, 24, false, true, 255, 255, 255, 200, 8, 0), false},
      {"green beyond 16 bits", PixelLayout(16, 16, false, true, 31, 63, 31, 11, 11, 0), false},
      {"blue max of 16 bits in 16 bpp", PixelLayout(16, 16, false, true, 1, 1, 65535, 0, 0, 0),
       true},
      {"blue max of 16 bits shifted", PixelLayout(16, 16, false, true, 1, 1, 65535, 0, 0, 1),
       false},
      {"zero red max", PixelLayout(32, 24, false, true, 0, 255, 255, 16, 8, 0), false},
      {"zero blue max", PixelLayout(16, 16, false, true, 31, 63, 0, 11, 5, 0), false},
      {"alpha inside", PixelLayout(32, 32, false, true, 255, 255, 255, 16, 8, 0, 24, 255), true},
      {"alpha outside", PixelLayout(32, 32, false, true, 255, 255, 255, 16, 8, 0, 25, 255), false},
      {"no alpha, stray shift", PixelLayout(32, 24, false, true, 255, 255, 255, 16, 8, 0, 99, 0),
       true},
      {"colour map ignores channels", PixelLayout(8, 8, false, false, 0, 0, 0, 99, 99, 99), true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.pf.depthAndBppAreValid(), c.valid) << c.name;
}

// Mirroring a shift that does not lie inside the pixel would wrap it.
TEST(PixelLayout, MakeLittleEndianRefusesShiftsBeyondThePixel) {
  const PixelLayout layouts[] = {
      PixelLayout(16, 16, true, true, 31, 63, 31, 24, 8, 0),
      PixelLayout(24, 24, true, true, 255, 255, 255, 16, 8, 24),
      PixelLayout(32, 32, true, true, 255, 255, 255, 24, 16, 8, 32, 255),
  };
  for (const PixelLayout& before : layouts) {
    PixelLayout pf = before;
    EXPECT_FALSE(pf.makeLittleEndian());
    EXPECT_TRUE(pf.bigEndian);
    EXPECT_EQ(pf.redShift, before.redShift);
    EXPECT_EQ(pf.blueShift, before.blueShift);
    EXPECT_EQ(pf.alphaShift, before.alphaShift);
  }
}

TEST(PixelLayout, MakeLittleEndian) {
  PixelLayout pf = PixelLayout::rgba32BigEndian;
  ASSERT_TRUE(pf.makeLittleEndian());
  EXPECT_FALSE(pf.bigEndian);
  EXPECT_EQ(pf.redShift, 0);
  EXPECT_EQ(pf.greenShift, 8);
  EXPECT_EQ(pf.blueShift, 16);
  EXPECT_EQ(pf.alphaShift, 24);

  PixelLayout be16 = PixelLayout::rgb565;
  be16.bigEndian = true;
  PixelLayout before = be16;
  EXPECT_FALSE(be16.makeLittleEndian());
  EXPECT_TRUE(be16.bigEndian);
  EXPECT_EQ(be16.redShift, before.redShift);

  // 24 bpp big-endian with byte shifts mirrors within three bytes
  PixelLayout be24(24, 24, true, true, 255, 255, 255, 16, 8, 0);
  ASSERT_TRUE(be24.makeLittleEndian());
  EXPECT_EQ(be24.redShift, 0);
  EXPECT_EQ(be24.blueShift, 16);
  EXPECT_EQ(be24.alphaShift, 0); // no alpha: left alone

  PixelLayout be8(8, 8, true, true, 7, 7, 3, 0, 3, 6);
  EXPECT_TRUE(be8.makeLittleEndian());
  EXPECT_FALSE(be8.bigEndian);
  EXPECT_EQ(be8.greenShift, 3);
}

TEST(PixelLayout, NativeEndian) {
  EXPECT_TRUE(PixelLayout::rgb565.isNativeEndian());
  EXPECT_FALSE(PixelLayout::rgba32BigEndian.isNativeEndian());
  PixelLayout be8(8, 8, true, true, 7, 7, 3, 0, 3, 6);
  EXPECT_TRUE(be8.isNativeEndian());
}

#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"

#include <vector>

static PixelLayout readRecord(const std::vector<uint8_t>& bytes) {
  rdr::MemInStream is(bytes.data(), int(bytes.size()));
  PixelLayout pf;
  pf.read(is);
  return pf;
}

TEST(PixelLayout, ReadWireRecordAlphaRules) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int alphaMax, alphaShift;
  } cases[] = {
      {"zero padding", {32, 24, 0, 1, 0, 255, 0, 255, 0, 255, 16, 8, 0, 0, 0, 0}, 0, 0},
      {"alpha adds up", {32, 32, 0, 1, 0, 255, 0, 255, 0, 255, 16, 8, 0, 24, 0, 255}, 255, 24},
      {"alpha beyond depth", {32, 24, 0, 1, 0, 255, 0, 255, 0, 255, 16, 8, 0, 24, 0, 255}, 0, 0},
      {"shift without max", {32, 24, 0, 1, 0, 255, 0, 255, 0, 255, 16, 8, 0, 24, 0, 0}, 0, 0},
  };
  for (const Case& c : cases) {
    PixelLayout pf = readRecord(c.bytes);
    EXPECT_EQ(pf.alphaMax, c.alphaMax) << c.name;
    EXPECT_EQ(pf.alphaShift, c.alphaShift) << c.name;
  }
  PixelLayout pf = readRecord({16, 16, 7, 9, 0, 31, 0, 63, 0, 31, 11, 5, 0, 0, 0, 0});
  EXPECT_TRUE(pf.bigEndian); // any non-zero byte is true
  EXPECT_TRUE(pf.trueColour);
  EXPECT_EQ(pf.greenMax, 63);
}

TEST(PixelLayout, WireRecordRoundTripsAndIsSixteenBytes) {
  for (const PixelLayout* pf : {&PixelLayout::rgb565, &PixelLayout::argb32,
                                &PixelLayout::rgba32BigEndian, &PixelLayout::pal8}) {
    rdr::MemOutStream os;
    pf->write(os);
    ASSERT_EQ(os.length(), 16);
    std::vector<uint8_t> bytes(os.data(), os.data() + 16);
    EXPECT_LE(bytes[2], 1);
    PixelLayout back = readRecord(bytes);
    EXPECT_TRUE(back.equal(*pf));
  }
  rdr::MemOutStream os;
  PixelLayout::rgba32BigEndian.write(os);
  EXPECT_EQ(std::vector<uint8_t>(os.data(), os.data() + 16),
            (std::vector<uint8_t>{32, 32, 1, 1, 0, 255, 0, 255, 0, 255, 24, 16, 8, 0, 0, 255}));
}

TEST(PixelLayout, TruncatedRecordThrows) {
  std::vector<uint8_t> bytes = {32, 24, 0, 1, 0, 255, 0, 255};
  rdr::MemInStream is(bytes.data(), int(bytes.size()));
  PixelLayout pf;
  EXPECT_THROW(pf.read(is), plat::Exception);
}
