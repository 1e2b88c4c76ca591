#include "rfb/FullFramePixelBuffer.h"
#include "rfb/ManagedPixelBuffer.h"

#include <gtest/gtest.h>

using rfb::FullFramePixelBuffer;
using rfb::ManagedPixelBuffer;
using rfb::PixelLayout;
using rfb::Point;
using rfb::Rect;

TEST(FullFramePixelBuffer, ViewSharesPixelsWithItsTopLeftAtZero) {
  ManagedPixelBuffer pb(PixelLayout::pal8, 10, 10);
  pb.fillRect(pb.getRect(), 0);
  FullFramePixelBuffer view(pb, Rect(2, 3, 6, 8));
  EXPECT_EQ(view.getRect(), Rect(0, 0, 4, 5));
  view.fillRect(Rect(0, 0, 1, 1), 7);
  EXPECT_EQ(pb.getPixel(Point(2, 3)), 7u);
  view.fillRect(Rect(-5, -5, 100, 100), 9); // clipped to the view
  EXPECT_EQ(pb.getPixel(Point(1, 3)), 0u);
  EXPECT_EQ(pb.getPixel(Point(6, 3)), 0u);
  EXPECT_EQ(pb.getPixel(Point(5, 7)), 9u);
  EXPECT_EQ(pb.getPixel(Point(5, 8)), 0u);
}

TEST(FullFramePixelBuffer, ViewStickingOutAtTopLeftHasPositiveOrigin) {
  ManagedPixelBuffer pb(PixelLayout::rgb565, 10, 10);
  pb.fillRect(pb.getRect(), 0);
  FullFramePixelBuffer view(pb, Rect(-3, -2, 4, 4));
  EXPECT_EQ(view.getOrigin(), Point(3, 2));
  EXPECT_EQ(view.getRect(), Rect(3, 2, 7, 6));
  EXPECT_FALSE(view.getRect().contains(Point(0, 0)));
  view.fillRect(Rect(3, 2, 4, 3), 0xBEEF);
  EXPECT_EQ(pb.getPixel(Point(0, 0)), 0xBEEFu);
  // a view of a view keeps addressing the same pixels
  FullFramePixelBuffer inner(view, Rect(4, 3, 6, 5));
  inner.fillRect(Rect(0, 0, 1, 1), 0x1234);
  EXPECT_EQ(pb.getPixel(Point(1, 1)), 0x1234u);
}

TEST(FullFramePixelBuffer, ViewOutsideSourceIsEmpty) {
  ManagedPixelBuffer pb(PixelLayout::argb32, 10, 10);
  FullFramePixelBuffer view(pb, Rect(20, 20, 30, 30));
  EXPECT_TRUE(view.getRect().isEmpty());
  view.fillRect(Rect(0, 0, 10, 10), 1); // nothing to write, nothing breaks
}
