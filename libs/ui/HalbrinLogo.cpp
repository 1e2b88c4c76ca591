#include "ui/HalbrinLogo.h"

#include <cstdint>

namespace ui {

extern const uint8_t halbrinLogoData[HalbrinLogo::logoWidth * HalbrinLogo::logoHeight * 4];

HalbrinLogo::HalbrinLogo() {
  // 32-bit true colour, depth 24, little-endian: bytes red, green, blue.
  rfb::PixelLayout pf(32, 24, false, true, 255, 255, 255, 0, 8, 16);
  resizeImage(pf, logoWidth, logoHeight);
  setPixels(halbrinLogoData, logoWidth, true);
  setSize(logoWidth, logoHeight);
}

} // namespace ui
