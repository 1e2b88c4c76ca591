// The mark inside check boxes, radio buttons and menu items: a tick or, for
// a radio button, a round dot on the field background; an indeterminate
// check shows its tick on the disabled field background.
#pragma once

#include "wvw/Widget.h"

namespace wvw {

class WCheck : public Widget {
public:
  WCheck(bool checked, bool radio);
  ~WCheck() override;

  bool onEnabledChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  // 10 x 10.
  void getPreferredSize(int* width, int* height) override;
  bool acceptsFocus() override { return false; }

  // Each repaints and sends onChange when the look changes.
  void setChecked(bool checked);
  void setIndeterminate();
  void setRadio(bool radio);

  bool isChecked() const { return checked_; }
  bool isRadio() const { return radio_; }
  bool isIndeterminate() const { return indeterminate_; }

protected:
  // The 8 x 8 tick, or the dot of a radio button, centred in the widget.
  void drawMark(rfb::WritablePixelBuffer* pb, uint32_t pixel);

private:
  bool checked_;
  bool radio_;
  bool indeterminate_;
};

} // namespace wvw
