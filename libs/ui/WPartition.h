// The thin vertical separator of a column header: a one-pixel line in the
// middle of its rectangle. It owns nothing.
#pragma once

#include "wvw/Widget.h"

namespace ui {

class WPartition : public wvw::Widget {
public:
  void draw(rfb::WritablePixelBuffer* pb) override;
  void getPreferredSize(int* width, int* height) override;
};

} // namespace ui
