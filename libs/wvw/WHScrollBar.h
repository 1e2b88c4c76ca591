// A horizontal scroll bar: an arrow button at each end (repeating while held)
// and a slider between them; a press on the track beside the thumb pages.
#pragma once

#include "wvw/WScrollBar.h"

namespace wvw {

class WHScrollBar : public WScrollBar {
public:
  WHScrollBar() : WScrollBar(Orientation::Horizontal) {}
};

} // namespace wvw
