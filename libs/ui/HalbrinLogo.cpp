#include "ui/HalbrinLogo.h"

#include <cstdint>

namespace ui {

extern const uint8_t halbrinLogoData[HalbrinLogo::logoWidth * HalbrinLogo::logoHeight * 4];

HalbrinLogo::HalbrinLogo() {
  setRgbPixels(halbrinLogoData, logoWidth, logoHeight);
}

} // namespace ui
