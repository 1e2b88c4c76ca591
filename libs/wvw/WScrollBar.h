// A scroll bar along one axis: an arrow button at each end (repeating while
// held) and a slider between them; a press on the track beside the thumb pages.
// The slider, buttons and repeat timer are members.
#pragma once

#include "wvw/Orientation.h"
#include "wvw/WAxisSlider.h"
#include "wvw/WIconButton.h"
#include "wvw/WLayout.h"

#include "plat/Timer.h"

namespace wvw {

class WScrollBar : public WLayout, public plat::Timer::Callback {
public:
  explicit WScrollBar(Orientation orientation);
  ~WScrollBar() override;

  // A press on the track beside the thumb moves a page toward the pointer.
  bool onButtonPress(int button, Widget* source) override;
  // The arrow buttons step by one.
  bool onClick(Widget* source) override;
  // An arrow button pressed or released (re)starts the repeat timer.
  bool onChange(Widget* source) override;
  bool onSizeChange(Widget* source) override;
  bool timerCallback(plat::Timer* timer) override;

  int getValue() { return slider_.getValue(); }
  void setValue(int value) { slider_.setValue(value); }
  void setRange(int minimum, int maximum) { slider_.setRange(minimum, maximum); }
  void setPageSize(int page) { slider_.setPageSize(page); }

  WAxisSlider* getSlider() { return &slider_; }
  WIconButton* getDecButton() { return &decButton_; }
  WIconButton* getIncButton() { return &incButton_; }
  plat::Timer* getRepeatTimer() { return &repeatTimer_; }

private:
  const Orientation orientation_;
  WAxisSlider slider_;
  WIconButton decButton_;
  WIconButton incButton_;
  plat::Timer repeatTimer_;
};

} // namespace wvw
