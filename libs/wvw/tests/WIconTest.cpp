#include "wvw/WIcon.h"

#include "wvw/Style.h"

#include "rfb/ManagedPixelBuffer.h"

#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <string>

using rfb::ManagedPixelBuffer;
using rfb::PixelLayout;
using rfb::Point;

namespace {

// A 5 x 3 arrow pointing up.
const uint8_t arrow[] = {0x20, 0x70, 0xF8};

std::string picture(ManagedPixelBuffer& pb, uint32_t ink, uint32_t paper) {
  std::string s;
  for (int y = 0; y < pb.height(); y++) {
    for (int x = 0; x < pb.width(); x++) {
      uint32_t p = pb.getPixel(Point(x, y));
      s += p == ink ? '#' : p == paper ? '-' : '.';
    }
    s += '\n';
  }
  return s;
}

} // namespace

TEST(WIcon, PaintsOnlyTheBitmapRectangle) {
  wvw::WIcon icon(arrow, 5, 3);
  icon.setSize(9, 6);
  ManagedPixelBuffer pb(PixelLayout::xrgb32LittleEndian, 9, 6);
  pb.fillRect(pb.getRect(), 0x010101);
  icon.draw(&pb);
  wvw::Style* style = icon.getStyle();
  uint32_t ink = wvw::colourToPixel(style->textColour, &pb);
  uint32_t paper = wvw::colourToPixel(style->background, &pb);
  EXPECT_EQ(picture(pb, ink, paper), ".........\n"
                                     "..--#--..\n"
                                     "..-###-..\n"
                                     "..#####..\n"
                                     ".........\n"
                                     ".........\n");
  int w, h;
  icon.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 5);
  EXPECT_EQ(h, 3);
}

TEST(WIcon, DisabledIconUsesTheDisabledTextColour) {
  wvw::WIcon icon(arrow, 5, 3);
  icon.setSize(5, 3);
  testing_support::WidgetTestHost host;
  host.attach(&icon);
  host.invalidations.clear();
  icon.setEnabled(false);
  EXPECT_EQ(host.invalidations.size(), 1u);
  ManagedPixelBuffer pb(PixelLayout::xrgb32LittleEndian, 5, 3);
  icon.draw(&pb);
  uint32_t ink = wvw::colourToPixel(icon.getStyle()->disabledTextColour, &pb);
  EXPECT_EQ(pb.getPixel(Point(2, 0)), ink);
  EXPECT_EQ(pb.getPixel(Point(0, 2)), ink);
}
