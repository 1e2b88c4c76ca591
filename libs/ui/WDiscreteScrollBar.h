// A vertical scroll bar whose arrows step by a fixed amount (a row height)
// instead of one unit. It owns nothing beyond the bar's own parts.
#pragma once

#include "wvw/WVScrollBar.h"

namespace ui {

class WDiscreteScrollBar : public wvw::WVScrollBar {
public:
  bool onClick(wvw::Widget* source) override;

  void setStep(int step) { step_ = step; }
  int getStep() const { return step_; }
  bool isArrowButton(wvw::Widget* w) { return w == getDecButton() || w == getIncButton(); }

private:
  int step_ = 1;
};

} // namespace ui
