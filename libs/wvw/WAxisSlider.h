// A slider with an integer range along one axis: the value is the position
// on that axis plus the minimum. The other axis stays at 0.
#pragma once

#include "wvw/Orientation.h"
#include "wvw/WSlider.h"

namespace wvw {

class WAxisSlider : public WSlider {
public:
  explicit WAxisSlider(Orientation orientation);
  ~WAxisSlider() override;

  // The position stays where it was, clamped into the new range.
  void setRange(int minimum, int maximum);
  // Clamped into the range.
  void setValue(int value);
  int getValue();
  void setPageSize(int page);

  Orientation getOrientation() const { return orientation_; }
  int getMinimum() const { return minimum_; }
  int getMaximum() const { return minimum_ + along(orientation_, getMaxPos()); }

private:
  const Orientation orientation_;
  int minimum_;
};

} // namespace wvw
