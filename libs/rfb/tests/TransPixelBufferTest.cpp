#include "rfb/TransPixelBuffer.h"

#include "rfb/ColourCube.h"
#include "rfb/ManagedPixelBuffer.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace rfb;

TEST(TransPixelBuffer, TrueColourToAnotherTrueColourLayout) {
  ManagedPixelBuffer src(PixelLayout::xrgb32LittleEndian, 4, 2);
  src.fillRect(Rect(0, 0, 4, 2), 0x00FF0000); // red
  src.fillRect(Rect(1, 0, 2, 1), 0x0000FF00); // green
  src.fillRect(Rect(2, 1, 4, 2), 0x00FFFFFF); // white
  TransPixelBuffer t;
  t.setSource(&src);
  t.setPF(PixelLayout::rgb565);
  uint16_t out[8];
  t.getImage(out, Rect(0, 0, 4, 2));
  EXPECT_EQ(out[0], 0xF800);
  EXPECT_EQ(out[1], 0x07E0);
  EXPECT_EQ(out[6], 0xFFFF);
  // A rectangle into a wider destination, rows destStride pixels apart.
  uint16_t wide[2 * 5] = {};
  t.getImage(wide, Rect(1, 0, 3, 2), 5);
  EXPECT_EQ(wide[0], 0x07E0);
  EXPECT_EQ(wide[1], 0xF800);
  EXPECT_EQ(wide[5], 0xF800);
  EXPECT_EQ(wide[6], 0xFFFF);
  EXPECT_EQ(wide[2], 0);
}

TEST(TransPixelBuffer, ColourMappedThroughACube) {
  ColourCube identity(6, 6, 6), cells(6, 6, 6);
  for (int i = 0; i < 216; i++)
    cells.set(i, uint32_t(215 - i)); // allocated cells in another order
  ManagedPixelBuffer src(PixelLayout::pal8, 3, 1, &identity);
  uint8_t pixels[3] = {0, uint8_t(identity.indexOf(5, 0, 0)), 215};
  src.imageRect(Rect(0, 0, 3, 1), pixels);
  TransPixelBuffer t;
  t.setSource(&src);
  t.setPF(PixelLayout::pal8);
  t.setColourCube(&cells);
  uint8_t out[3];
  t.getImage(out, Rect(0, 0, 3, 1));
  EXPECT_EQ(out[0], 215);
  EXPECT_EQ(out[1], 215 - identity.indexOf(5, 0, 0));
  EXPECT_EQ(out[2], 0);

  // To true colour; a change of the source map is taken on request.
  t.setPF(PixelLayout::xrgb32LittleEndian);
  uint32_t rgb[3];
  t.getImage(rgb, Rect(0, 0, 3, 1));
  EXPECT_EQ(rgb[1], 0x00FF0000u);
  EXPECT_EQ(rgb[2], 0x00FFFFFFu);
}
