// A vertical slider with an integer range: the value is the position on the
// y axis plus the minimum.
#pragma once

#include "wvw/WSlider.h"

namespace wvw {

class WVSlider : public WSlider {
public:
  WVSlider();
  ~WVSlider() override;

  // The position stays where it was, clamped into the new range.
  virtual void setRange(int minimum, int maximum);
  // Clamped into the range.
  virtual void setValue(int value);
  virtual int getValue();
  virtual void setPageSize(int page);

  int getMinimum() const { return minimum_; }
  int getMaximum() const { return minimum_ + getMaxPos().y; }

private:
  int minimum_;
};

} // namespace wvw
