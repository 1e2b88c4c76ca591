// An integer value between a minimum and a maximum, shown between a "<" and
// a ">" button that step it (repeating while held), and stepped by the Left
// and Right keys; optionally wrapping round at the ends. The buttons and the
// repeat timer are members.
#pragma once

#include "wvw/WLabelButton.h"
#include "wvw/WLayout.h"

#include "plat/Timer.h"

namespace wvw {

class WRange : public WLayout, public plat::Timer::Callback {
public:
  WRange(int minimum, int maximum, bool wrap);
  ~WRange() override;

  // Releases of Left and Right step the value.
  bool onKey(uint32_t keysym, bool down, Widget* source) override;
  bool onClick(Widget* source) override;
  // A button pressed or released (re)starts the repeat timer.
  bool onChange(Widget* source) override;
  bool onEnabledChange(Widget* source) override;
  bool onSizeChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;

  // Steps once more while a button is held, each time sooner (down to
  // 100 ms); stops when none is.
  bool timerCallback(plat::Timer* timer) override;
  // A value outside the range is ignored; a change is sent as onChange.
  virtual void setValue(int value);
  // The value is kept, clamped into the new range.
  virtual void setRange(int minimum, int maximum);
  virtual int getValue();
  // Both send onChange, also when the value stays at an end.
  virtual void increment();
  virtual void decrement();

  int getMinimum() const { return minimum_; }
  int getMaximum() const { return maximum_; }
  WLabelButton* getDecButton() { return &decButton_; }
  WLabelButton* getIncButton() { return &incButton_; }
  plat::Timer* getRepeatTimer() { return &repeatTimer_; }

protected:
  WLabelButton decButton_;
  WLabelButton incButton_;
  int minimum_;
  int maximum_;
  int value_;

private:
  plat::Timer repeatTimer_;
  bool wrap_;
};

// Starts the timer in the current timer manager; without one there is no
// auto-repeat, which is logged.
void startRepeat(plat::Timer* timer, int ms);

} // namespace wvw
