#include "serverconfig/ConnectionIcon.h"

#include <cstdint>

namespace serverconfig {

extern const uint8_t connectionIcon48x48[ConnectionIcon::iconSize * ConnectionIcon::iconSize * 4];

ConnectionIcon::ConnectionIcon() {
  // 32-bit true colour, depth 24, little-endian: bytes red, green, blue.
  rfb::PixelLayout pf(32, 24, false, true, 255, 255, 255, 0, 8, 16);
  resizeImage(pf, iconSize, iconSize);
  setPixels(connectionIcon48x48, iconSize, true);
  setSize(iconSize, iconSize);
}

} // namespace serverconfig
