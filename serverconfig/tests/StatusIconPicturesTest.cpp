#include "serverconfig/StatusIconPictures.h"

#include "PngFile.h"
#include "rfb/ManagedPixelBuffer.h"
#include "rfb/PixelLayout.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>

namespace {

using Rgb = std::array<int, 3>;

Rgb at(const std::uint8_t* picture, int x, int y) {
  const std::uint8_t* p = picture + (y * serverconfig::statusIconSize + x) * 3;
  return {p[0], p[1], p[2]};
}

// Each state's picture is the product logo over the tray's grey: the grey at
// the corners, the white glass of the logo's left screen in it, and a colour
// of its own; the unconnected one is the logo's own blue. The four are left
// side by side in the build tree (tray-icons.png) to be looked at.
TEST(StatusIconPictures, TheLogoInTheColourOfEachState) {
  const int size = serverconfig::statusIconSize;
  const Rgb grey{0x80, 0x80, 0x80}, white{255, 255, 255}, blue{38, 98, 180};
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout(32, 24, false, true, 255, 255, 255, 0, 8, 16),
                             4 * size, size);
  std::set<Rgb> frameColours;
  for (unsigned state = 0; state < 4; state++) {
    SCOPED_TRACE(state);
    const std::uint8_t* picture = serverconfig::statusIconPicture(state);
    for (rfb::Point corner : {rfb::Point(0, 0), rfb::Point(size - 1, 0),
                              rfb::Point(0, size - 1), rfb::Point(size - 1, size - 1)})
      EXPECT_EQ(at(picture, corner.x, corner.y), grey);
    // The middle of the left screen's glass, and its frame just left of it.
    EXPECT_EQ(at(picture, 14, 23), white);
    frameColours.insert(at(picture, 3, 23));
    for (int y = 0; y < size; y++)
      for (int x = 0; x < size; x++) {
        Rgb c = at(picture, x, y);
        pb.fillRect(rfb::Rect(int(state) * size + x, y, int(state) * size + x + 1, y + 1),
                    uint32_t(c[0] | (c[1] << 8) | (c[2] << 16)));
      }
  }
  EXPECT_EQ(frameColours.size(), 4u) << "two states look alike";
  EXPECT_EQ(at(serverconfig::statusIconPicture(0), 3, 23), blue);
  EXPECT_EQ(serverconfig::statusIconPicture(7), serverconfig::statusIconPicture(3));
  std::string path = std::string(ZAV_BINARY_DIR) + "/tray-icons.png";
  EXPECT_TRUE(testing_support::writePng(pb, path)) << path;
}

} // namespace
