#include "rfb/ManagedPixelBuffer.h"

#include "plat/Exception.h"

#include <gtest/gtest.h>

#include <climits>

using rfb::ManagedPixelBuffer;
using rfb::PixelLayout;
using rfb::Point;
using rfb::Rect;

static const PixelLayout bgr24(24, 24, false, true, 255, 255, 255, 0, 8, 16);

TEST(ManagedPixelBuffer, AllocatesGrowsAndKeepsMemory) {
  ManagedPixelBuffer pb(PixelLayout::xrgb32LittleEndian, 0, 0);
  EXPECT_EQ(pb.capacity(), 0u);
  int stride = -1;
  EXPECT_EQ(pb.getDataRW(Rect(0, 0, 1, 1), &stride), nullptr);
  pb.setSize(10, 10);
  EXPECT_EQ(pb.capacity(), 400u);
  EXPECT_EQ(pb.getStride(), 10);
  const uint8_t* before = pb.getData(Rect(0, 0, 1, 1), &stride);
  pb.setSize(5, 5);
  EXPECT_EQ(pb.capacity(), 400u);
  EXPECT_EQ(pb.getStride(), 5);
  EXPECT_EQ(pb.getData(Rect(0, 0, 1, 1), &stride), before);
  pb.setSize(0, 7);
  EXPECT_EQ(pb.capacity(), 0u);
}

TEST(ManagedPixelBuffer, SizesPerDepth) {
  struct Case {
    PixelLayout pf;
    size_t bytes;
  } cases[] = {
      {PixelLayout::pal8, 12}, {PixelLayout::rgb565, 24}, {bgr24, 36}, {PixelLayout::argb32, 48}};
  for (const Case& c : cases) {
    ManagedPixelBuffer pb(c.pf, 4, 3);
    EXPECT_EQ(pb.sizeBytes(), c.bytes);
    EXPECT_EQ(pb.capacity(), c.bytes);
  }
}

// Sets the size fields without allocating, to look at the byte size alone.
struct SizeProbe : ManagedPixelBuffer {
  SizeProbe(const PixelLayout& pf, int w, int h) : ManagedPixelBuffer(pf, 0, 0) {
    width_ = w;
    height_ = h;
  }
  ~SizeProbe() override { width_ = height_ = 0; }
};

TEST(ManagedPixelBuffer, ByteSizeIsComputedWithoutWrapping) {
  // 46341 x 46341 x 4 wraps a 32-bit int; in size_t it is exact
  EXPECT_EQ(SizeProbe(PixelLayout::argb32, 46341, 46341).sizeBytes(), size_t(46341) * 46341 * 4);
  EXPECT_EQ(SizeProbe(PixelLayout::argb32, INT_MAX, INT_MAX).sizeBytes(),
            size_t(INT_MAX) * size_t(INT_MAX) * 4);
  EXPECT_THROW(SizeProbe(PixelLayout::argb32, -1, 10).sizeBytes(), plat::Exception);
  ManagedPixelBuffer pb(PixelLayout::argb32, 0, 0);
  EXPECT_THROW(pb.setSize(-1, 10), plat::Exception);
}

TEST(ManagedPixelBuffer, KeepContentsCopiesOldPixelsAndZeroesTheRest) {
  ManagedPixelBuffer pb(PixelLayout::argb32, 2, 2);
  pb.setKeepContents(true);
  uint32_t v = 1;
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 2; x++)
      pb.setPixel(Point(x, y), v++);
  pb.setSize(3, 3);
  uint32_t expected[3][3] = {{1, 2, 0}, {3, 4, 0}, {0, 0, 0}};
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 3; x++)
      EXPECT_EQ(pb.getPixel(Point(x, y)), expected[y][x]) << x << "," << y;
  pb.setSize(1, 2);
  EXPECT_EQ(pb.getPixel(Point(0, 0)), 1u);
  EXPECT_EQ(pb.getPixel(Point(0, 1)), 3u);
}

TEST(ManagedPixelBuffer, PixelAccessByDepth) {
  struct Case {
    PixelLayout pf;
    uint32_t value;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {PixelLayout::pal8, 0xAB, {0xAB}},
      {PixelLayout::rgb565, 0x1234, {0x34, 0x12}},
      {bgr24, 0x123456, {0x56, 0x34, 0x12}},
      // byte order of the layout does not change 24-bit storage
      {PixelLayout(24, 24, true, true, 255, 255, 255, 16, 8, 0), 0x123456, {0x56, 0x34, 0x12}},
      {PixelLayout::argb32, 0x12345678, {0x78, 0x56, 0x34, 0x12}},
      {PixelLayout::rgba32BigEndian, 0x12345678, {0x78, 0x56, 0x34, 0x12}},
  };
  for (const Case& c : cases) {
    ManagedPixelBuffer pb(c.pf, 3, 2);
    pb.setPixel(Point(1, 1), c.value);
    EXPECT_EQ(pb.getPixel(Point(1, 1)), c.value);
    int stride;
    const uint8_t* p = pb.getData(Rect(1, 1, 2, 2), &stride);
    EXPECT_EQ(std::vector<uint8_t>(p, p + c.bytes.size()), c.bytes);
  }
}

TEST(ManagedPixelBuffer, GetDataOfEmptyRectReportsStride) {
  ManagedPixelBuffer pb(PixelLayout::rgb565, Rect(10, 20, 17, 25));
  int stride = 0;
  EXPECT_EQ(pb.getDataRW(Rect(12, 22, 12, 24), &stride), nullptr);
  EXPECT_EQ(stride, 7);
  int s2;
  EXPECT_EQ(pb.getDataRW(Rect(11, 21, 12, 22), &s2) - pb.getDataRW(Rect(10, 20, 11, 21), &s2),
            (7 + 1) * 2);
}

TEST(ManagedPixelBuffer, GetImageCopiesRowsWithStride) {
  ManagedPixelBuffer pb(PixelLayout::pal8, 4, 3);
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 4; x++)
      pb.setPixel(Point(x, y), uint32_t(y * 16 + x));
  uint8_t out[3 * 5] = {};
  pb.getImage(out, Rect(1, 1, 3, 3), 5);
  EXPECT_EQ(out[0], 0x11);
  EXPECT_EQ(out[1], 0x12);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[5], 0x21);
  EXPECT_EQ(out[6], 0x22);
}

TEST(ManagedPixelBuffer, SetDataDetachDataAndColourMapOwnership) {
  struct CountingMap : rfb::ColourMap {
    explicit CountingMap(int* d) : deleted(d) {}
    ~CountingMap() override { ++*deleted; }
    void lookup(int, rfb::Colour*) override {}
    int size() override { return 0; }
    int* deleted;
  };
  int deleted = 0;
  {
    ManagedPixelBuffer pb(PixelLayout::pal8, 2, 2);
    uint8_t* mem = new uint8_t[24]();
    pb.setData(mem, 24, Rect(5, 5, 9, 11));
    EXPECT_EQ(pb.getRect(), Rect(5, 5, 9, 11));
    EXPECT_EQ(pb.getStride(), 4);
    uint8_t* back = pb.detachData();
    EXPECT_EQ(back, mem);
    EXPECT_EQ(pb.width(), 0);
    EXPECT_EQ(pb.capacity(), 0u);
    delete[] back;
    CountingMap* a = new CountingMap(&deleted);
    pb.setColourMap(a, true);
    pb.setColourMap(a, true); // the same map is not deleted
    EXPECT_EQ(deleted, 0);
    pb.setColourMap(new CountingMap(&deleted), true);
    EXPECT_EQ(deleted, 1);
  }
  EXPECT_EQ(deleted, 2);
}

TEST(ManagedPixelBufferDeathTest, SetDataTooSmallIsFatal) {
  ManagedPixelBuffer pb(PixelLayout::argb32, 4, 4);
  EXPECT_DEATH(pb.setData(new uint8_t[8], 8), "capacity_ >= sizeBytes\\(\\)");
}
