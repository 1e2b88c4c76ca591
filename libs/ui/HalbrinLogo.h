// The product logo, 58 x 55 pixels, as an image widget filled from the
// built-in pixel data (drawn by tools/make_logo.py).
#pragma once

#include "wvw/WImage.h"

namespace ui {

class HalbrinLogo : public wvw::WImage {
public:
  static constexpr int logoWidth = 58;
  static constexpr int logoHeight = 55;

  HalbrinLogo();
};

} // namespace ui
