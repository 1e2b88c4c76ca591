// A vertical slider with an integer range: the value is the position on the
// y axis plus the minimum.
#pragma once

#include "wvw/WAxisSlider.h"

namespace wvw {

class WVSlider : public WAxisSlider {
public:
  WVSlider() : WAxisSlider(Orientation::Vertical) {}
};

} // namespace wvw
