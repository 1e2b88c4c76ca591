// A vertical scroll bar: an arrow button at each end (repeating while held)
// and a slider between them; a press on the track beside the thumb pages.
#pragma once

#include "wvw/WScrollBar.h"

namespace wvw {

class WVScrollBar : public WScrollBar {
public:
  WVScrollBar() : WScrollBar(Orientation::Vertical) {}
};

} // namespace wvw
