// A horizontal slider with an integer range: the value is the position on the
// x axis plus the minimum.
#pragma once

#include "wvw/WAxisSlider.h"

namespace wvw {

class WHSlider : public WAxisSlider {
public:
  WHSlider() : WAxisSlider(Orientation::Horizontal) {}
};

} // namespace wvw
