// A range whose value is shown in an editable text entry (a member) between
// its buttons. A typed number outside the range is clamped to its nearer end.
#pragma once

#include "wvw/WRange.h"
#include "wvw/WText.h"

namespace wvw {

class WRangeText : public WRange {
public:
  WRangeText(int minimum, int maximum, bool wrap);
  ~WRangeText() override;

  // Typed text sets the value.
  bool onChange(Widget* source) override;
  bool onSizeChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  void setEnabled(bool enabled) override;
  // Each shows the value in the field afterwards.
  void setValue(int value) override;
  void increment() override;
  void decrement() override;

  WText* getTextField() { return &text_; }

private:
  void showValue();

  WText text_;
};

} // namespace wvw
