// A layout that paints the style's background behind its children; dialog
// bodies and title areas derive from it.
#pragma once

#include "wvw/WLayout.h"

namespace wvw {

class WCanvas : public WLayout {
public:
  WCanvas();
  ~WCanvas() override;

  void draw(rfb::WritablePixelBuffer* pb) override;
};

} // namespace wvw
