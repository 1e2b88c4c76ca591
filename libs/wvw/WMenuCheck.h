// The tick column of a menu item: a check mark drawn straight on the style's
// background, so that it takes the item's highlight colours.
#pragma once

#include "wvw/WCheck.h"

namespace wvw {

class WMenuCheck : public WCheck {
public:
  WMenuCheck();
  ~WMenuCheck() override;

  void draw(rfb::WritablePixelBuffer* pb) override;
};

} // namespace wvw
