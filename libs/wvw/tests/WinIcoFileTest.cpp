#include "wvw/WinIcoFile.h"

#include "ThrownMessage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using testing_support::thrownMessage;
using zav::WinIcoFile;

namespace {

struct Image {
  int width, height, bpp;
};

void put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  v[at] = uint8_t(x);
  v[at + 1] = uint8_t(x >> 8);
}
void put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  put16(v, at, x & 0xffff);
  put16(v, at + 2, x >> 16);
}

// An icon file with the images in order: a 40-byte header and the rows,
// stored row r (from the bottom) filled with the byte r + 1, and a mask.
std::vector<uint8_t> iconFile(const std::vector<Image>& images, int type = 1) {
  std::vector<uint8_t> f(6 + 16 * images.size());
  put16(f, 2, uint32_t(type));
  put16(f, 4, uint32_t(images.size()));
  for (size_t i = 0; i < images.size(); i++) {
    const Image& im = images[i];
    size_t entry = 6 + 16 * i, at = f.size();
    f[entry] = uint8_t(im.width);
    f[entry + 1] = uint8_t(im.height);
    put16(f, entry + 4, 1);
    put16(f, entry + 6, uint32_t(im.bpp));
    put32(f, entry + 12, uint32_t(at));
    f.resize(at + 40);
    put32(f, at, 40);
    for (int r = 0; r < im.height; r++)
      f.insert(f.end(), size_t(im.width * im.bpp / 8), uint8_t(r + 1));
    f.insert(f.end(), size_t((im.width + 31) / 32 * 4 * im.height), 0);
    put32(f, entry + 8, uint32_t(f.size() - at));
  }
  return f;
}

std::string find(const std::vector<uint8_t>& f, int w, int h, int bpp, size_t size = 0) {
  return thrownMessage(
      [&] { WinIcoFile(f.data(), uint32_t(size ? size : f.size())).findImage(w, h, bpp); });
}

} // namespace

TEST(WinIcoFile, CursorFileIsRefused) {
  auto f = iconFile({{16, 16, 32}}, 2);
  EXPECT_EQ(find(f, 16, 16, 32), "Error in icon data for 16x16 @ 32bpp");
}

TEST(WinIcoFile, MissingSizeIsReported) {
  auto f = iconFile({{16, 16, 8}, {32, 32, 32}});
  EXPECT_EQ(find(f, 16, 16, 32), "No matching icon for 16x16 @ 32bpp");
  EXPECT_EQ(find(f, 32, 32, 32), "<no exception>");
  EXPECT_EQ(find(f, 256, 256, 32), "No matching icon for 256x256 @ 32bpp");
}

TEST(WinIcoFile, TopRowIsTheLastStoredRow) {
  auto f = iconFile({{4, 4, 32}, {2, 2, 32}});
  WinIcoFile file(f.data(), uint32_t(f.size()));
  const uint8_t* first = file.findImage(2, 2, 32);
  EXPECT_EQ(first[0], 1);
  int stride = 0;
  const uint8_t* top = file.getImageRows(2, 2, 32, &stride);
  EXPECT_EQ(top, first + 8);
  EXPECT_EQ(stride, -8);
  EXPECT_EQ(top[0], 2);
  EXPECT_EQ(top[stride], 1);
}

// Every read stays inside the recorded size: a file cut anywhere before the
// end of the wanted image's rows is refused, one that ends right after them
// is read.
TEST(WinIcoFile, ReadsAreBoundedByTheData) {
  auto f = iconFile({{2, 2, 32}});
  size_t rowsEnd = 6 + 16 + 40 + 16;
  EXPECT_EQ(find(f, 2, 2, 32, rowsEnd), "<no exception>");
  for (size_t size : {size_t(1), size_t(5), size_t(6), size_t(21), size_t(22), size_t(25),
                      size_t(60), rowsEnd - 1}) {
    SCOPED_TRACE(size);
    EXPECT_EQ(find(f, 2, 2, 32, size), "Error in icon data for 2x2 @ 32bpp");
  }
  // A header length or an image offset pointing outside the file.
  auto longHeader = f;
  put32(longHeader, 22, 0x7fffffff);
  EXPECT_EQ(find(longHeader, 2, 2, 32), "Error in icon data for 2x2 @ 32bpp");
  auto farImage = f;
  put32(farImage, 18, 0xfffffff0);
  EXPECT_EQ(find(farImage, 2, 2, 32), "Error in icon data for 2x2 @ 32bpp");
  // A count beyond the entries present.
  auto manyEntries = f;
  put16(manyEntries, 4, 500);
  EXPECT_EQ(find(manyEntries, 2, 2, 32), "Error in icon data for 2x2 @ 32bpp");
}

TEST(WinIcoFile, LittleEndianReads) {
  const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
  EXPECT_EQ(WinIcoFile::readU16LE(bytes + 1), 0x0302);
  EXPECT_EQ(WinIcoFile::readU32LE(bytes + 1), 0x05040302u);
  const uint8_t* p = bytes;
  EXPECT_EQ(WinIcoFile::readU16LE(&p), 0x0201);
  EXPECT_EQ(WinIcoFile::readU32LE(&p), 0x06050403u);
  EXPECT_EQ(p, bytes + 6);
}

TEST(WinIcoFile, PixelLayoutIsBlueGreenRedAlphaInMemory) {
  const rfb::PixelLayout& pf = WinIcoFile::pixelLayout();
  EXPECT_EQ(pf.bpp, 32);
  EXPECT_FALSE(pf.bigEndian);
  EXPECT_EQ(pf.redShift, 16);
  EXPECT_EQ(pf.greenShift, 8);
  EXPECT_EQ(pf.blueShift, 0);
  EXPECT_EQ(pf.alphaShift, 24);
  EXPECT_EQ(pf.alphaMax, 255);
}
