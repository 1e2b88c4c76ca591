// A horizontal slider with an integer range: the value is the position on the
// x axis plus the minimum.
#pragma once

#include "wvw/WSlider.h"

namespace wvw {

class WHSlider : public WSlider {
public:
  WHSlider();
  ~WHSlider() override;

  // The position stays where it was, clamped into the new range.
  void setRange(int minimum, int maximum);
  // Clamped into the range.
  void setValue(int value);
  int getValue();
  void setPageSize(int page);

  int getMinimum() const { return minimum_; }
  int getMaximum() const { return minimum_ + getMaxPos().x; }

private:
  int minimum_;
};

} // namespace wvw
