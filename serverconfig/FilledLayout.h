// A layout that paints its style's background behind its children, for the
// root of a window whose children do not cover it.
#pragma once

#include "wvw/Style.h"
#include "wvw/WLayout.h"
#include "wvw/Widget.h"

namespace serverconfig {

class FilledLayout : public wvw::WLayout {
public:
  void draw(rfb::WritablePixelBuffer* pb) override {
    pb->fillRect(pb->getRect(), wvw::colourToPixel(getStyle()->background, pb));
    wvw::WLayout::draw(pb);
  }
};

} // namespace serverconfig
