#include "wvw/WImage.h"

#include "wvw/Style.h"

#include "rfb/Composite.h"
#include "rfb/ManagedPixelBuffer.h"

#include "PngFile.h"
#include "ThrownMessage.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <vector>

using rfb::ColourWithAlpha;
using rfb::ManagedPixelBuffer;
using rfb::PixelLayout;
using rfb::Point;
using rfb::Rect;

namespace {

ColourWithAlpha colourAt(ManagedPixelBuffer& pb, int x, int y) {
  ColourWithAlpha c;
  rfb::pixelToColourWithAlpha(pb.getPF(), pb.getPixel(Point(x, y)), nullptr, &c);
  return c;
}

// An opaque image of w x h pixels in argb32.
void fillOpaque(wvw::WImage& image, int w, int h, uint32_t pixel) {
  image.resizeImage(PixelLayout::argb32, w, h);
  std::vector<uint32_t> pixels(size_t(w) * h, pixel);
  image.setPixels(pixels.data(), w, true);
}

} // namespace

TEST(WImage, CentredInALargerWidget) {
  wvw::WImage image;
  fillOpaque(image, 16, 16, 0xff00ff00);
  image.setSize(21, 21);
  ManagedPixelBuffer pb(PixelLayout::xrgb32LittleEndian, 21, 21);
  pb.fillRect(pb.getRect(), 0x123456);
  image.draw(&pb);
  EXPECT_EQ(pb.getPixel(Point(1, 1)), 0x123456u);
  EXPECT_EQ(pb.getPixel(Point(2, 2)), 0x00ff00u);
  EXPECT_EQ(pb.getPixel(Point(17, 17)), 0x00ff00u);
  EXPECT_EQ(pb.getPixel(Point(18, 18)), 0x123456u);
  int w, h;
  image.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 16);
  EXPECT_EQ(h, 16);
  EXPECT_FALSE(image.acceptsFocus());
}

TEST(WImage, LargerImageIsClipped) {
  wvw::WImage image;
  image.resizeImage(PixelLayout::argb32, 7, 7);
  std::vector<uint32_t> pixels(49);
  for (int i = 0; i < 49; i++)
    pixels[size_t(i)] = 0xff000000u | uint32_t(i);
  image.setPixels(pixels.data(), 7, true);
  image.setSize(3, 3);
  ManagedPixelBuffer pb(PixelLayout::xrgb32LittleEndian, 3, 3);
  pb.fillRect(pb.getRect(), 0);
  image.draw(&pb);
  // Offset (3 - 7) / 2 = -2: widget pixel (0, 0) shows image pixel (2, 2).
  EXPECT_EQ(pb.getPixel(Point(0, 0)), uint32_t(2 * 7 + 2));
  EXPECT_EQ(pb.getPixel(Point(2, 2)), uint32_t(4 * 7 + 4));
}

TEST(WImage, SetPixelsPremultipliesUnlessTold) {
  wvw::WImage image;
  image.resizeImage(PixelLayout::argb32, 1, 1);
  uint32_t pixel = 0x80ff0000; // alpha 128, red 255
  image.setPixels(&pixel, 1, false);
  EXPECT_EQ(colourAt(image.image(), 0, 0), ColourWithAlpha(128, 0, 0, 128));
  image.setPixels(&pixel, 1, true);
  EXPECT_EQ(colourAt(image.image(), 0, 0), ColourWithAlpha(255, 0, 0, 128));
}

TEST(WImage, NegativeStrideReadsRowsBottomUp) {
  wvw::WImage image;
  image.resizeImage(PixelLayout::argb32, 2, 2);
  const uint32_t rows[] = {0xff000001, 0xff000002, 0xff000003, 0xff000004};
  image.setPixels(rows + 2, -2, true);
  EXPECT_EQ(image.image().getPixel(Point(0, 0)), 0xff000003u);
  EXPECT_EQ(image.image().getPixel(Point(1, 1)), 0xff000002u);
}

TEST(WImage, IconIsLoadedPremultipliedAndSizesTheWidget) {
  wvw::WImage image("tick.ico", 24);
  EXPECT_EQ(image.width(), 24);
  EXPECT_EQ(image.height(), 24);
  EXPECT_EQ(image.image().width(), 24);
  EXPECT_TRUE(image.image().getPF().equal(PixelLayout::argb32LittleEndian));
  // Each channel is at most the alpha, and the picture's centre is opaque.
  for (int y = 0; y < 24; y++)
    for (int x = 0; x < 24; x++) {
      ColourWithAlpha c = colourAt(image.image(), x, y);
      ASSERT_LE(c.red, c.alpha);
      ASSERT_LE(c.green, c.alpha);
      ASSERT_LE(c.blue, c.alpha);
    }
  EXPECT_EQ(colourAt(image.image(), 12, 3).alpha, 255);
  EXPECT_EQ(colourAt(image.image(), 0, 0).alpha, 0);
}

// The rows come out top row first: the warning triangle's apex is at the
// top, its base at the bottom.
TEST(WImage, IconRowsAreTheRightWayUp) {
  wvw::WImage image("warning.ico", 24);
  auto visible = [&](int y) {
    int n = 0;
    for (int x = 0; x < 24; x++)
      n += colourAt(image.image(), x, y).alpha > 0;
    return n;
  };
  EXPECT_LT(visible(2), 8);
  EXPECT_GT(visible(21), 18);
}

TEST(WImage, BadIconNameKeepsThePreviousState) {
  wvw::WImage image("cross.ico", 16);
  uint32_t before = image.image().getPixel(Point(8, 8));
  EXPECT_EQ(testing_support::thrownMessage([&] { image.setIcon("nope.ico", 48); }),
            "Bad icon name 'nope.ico'");
  EXPECT_EQ(testing_support::thrownMessage([&] { image.setIcon("cross.ico", 48); }),
            "No matching icon for 48x48 @ 32bpp");
  EXPECT_EQ(image.width(), 16);
  EXPECT_EQ(image.image().width(), 16);
  EXPECT_EQ(image.image().getPixel(Point(8, 8)), before);
}

TEST(WImage, GreyscaleCopyKeepsAlpha) {
  wvw::WImage image;
  image.resizeImage(PixelLayout::argb32, 2, 1);
  const uint32_t pixels[] = {0xff00ff00, 0x80808080};
  image.setPixels(pixels, 2, true);
  std::unique_ptr<wvw::WImage> grey = image.greyscaleCopy();
  ASSERT_EQ(grey->image().width(), 2);
  EXPECT_EQ(colourAt(grey->image(), 0, 0), ColourWithAlpha(150, 150, 150, 255));
  EXPECT_EQ(colourAt(grey->image(), 1, 0), ColourWithAlpha(128, 128, 128, 128));
}

TEST(WImage, HalfTransparentIconBlendsWithTheBackground) {
  wvw::WImage image;
  image.resizeImage(PixelLayout::argb32, 1, 1);
  uint32_t pixel = 0x80ff0000;
  image.setPixels(&pixel, 1, false);
  image.setSize(1, 1);
  ManagedPixelBuffer pb(PixelLayout::rgb565, 1, 1);
  pb.fillRect(pb.getRect(), 0xffff);
  image.draw(&pb);
  ColourWithAlpha c = colourAt(pb, 0, 0);
  EXPECT_EQ(c, ColourWithAlpha(255, 125, 123, 255));
}

TEST(WImage, RepaintsWhenEnabledChanges) {
  wvw::WImage image;
  fillOpaque(image, 4, 4, 0xffffffff);
  image.setSize(4, 4);
  testing_support::WidgetTestHost host;
  host.attach(&image);
  host.invalidations.clear();
  image.setEnabled(false);
  EXPECT_EQ(host.invalidations.size(), 1u);
}

// Every built-in icon at the size the dialogs ask for, and greyed, drawn
// over the style's background in a 16-bit buffer; the picture is left in
// the build tree (wvw-icons.png) to be looked at.
TEST(WImage, BuiltInIconsDrawnOverTheBackground) {
  const char* names[] = {
      "zavserver.ico", "cross.ico",          "tick.ico",       "warning.ico",
      "FTClose.ico",   "FTClose_active.ico", "FTPause.ico",    "FTPause_active.ico",
      "FTPlay.ico",    "FTPlay_active.ico",  "FTRetry.ico",    "FTRetry_active.ico",
      "FTFail.ico",    "FTFiles.ico",        "FTFileUNIX.ico", "FTFolderUNIX.ico"};
  const int sizes[] = {48, 24, 24, 24, 20, 20, 20, 20, 20, 20, 20, 20, 17, 48, 48, 48};
  ManagedPixelBuffer pb(PixelLayout::rgb565, 16 * 52, 2 * 52);
  uint32_t background = wvw::colourToPixel(wvw::Widget::getDefaultStyle()->background, &pb);
  pb.fillRect(pb.getRect(), background);
  for (int i = 0; i < 16; i++) {
    wvw::WImage image(names[i], sizes[i]);
    std::unique_ptr<wvw::WImage> grey = image.greyscaleCopy();
    grey->setSize(52, 52);
    image.setSize(52, 52);
    rfb::FullFramePixelBuffer top(pb, Rect(i * 52, 0, i * 52 + 52, 52));
    rfb::FullFramePixelBuffer bottom(pb, Rect(i * 52, 52, i * 52 + 52, 104));
    image.draw(&top);
    grey->draw(&bottom);
    // Something is painted in the middle of the cell; its corners show
    // the background.
    int painted = 0;
    for (int y = 20; y < 32; y++)
      for (int x = 20; x < 32; x++)
        painted += pb.getPixel(Point(i * 52 + x, y)) != background;
    EXPECT_GT(painted, 0) << names[i];
    EXPECT_EQ(pb.getPixel(Point(i * 52 + 1, 1)), background) << names[i];
  }
  std::string path = std::string(ZAV_BINARY_DIR) + "/wvw-icons.png";
  EXPECT_TRUE(testing_support::writePng(pb, path)) << path;
}
