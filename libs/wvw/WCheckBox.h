// The clickable box of a labelled check box: a button whose content is a
// check mark (a member), toggled by a click or by space, drawn in a sunken
// (or, for a radio mark, round) bevel with the focus rectangle around it.
#pragma once

#include "wvw/WButton.h"
#include "wvw/WCheck.h"

namespace wvw {

class WCheckBox : public WButton {
public:
  WCheckBox();
  ~WCheckBox() override;

  // Space presses and, released, clicks the box; Return does nothing here.
  bool onKey(uint32_t keysym, bool down, Widget* source) override;
  bool onFocusChange(bool reverse, Widget* source) override;
  // A click toggles the mark (a radio mark too), then reaches the handlers.
  bool onClick(Widget* source) override;
  bool onSizeChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  // 16 x 16.
  void getPreferredSize(int* width, int* height) override;
  bool acceptsFocus() override;

  virtual void setChecked(bool checked);
  virtual bool isChecked();
  virtual void setIndeterminate();
  virtual bool isIndeterminate();

  WCheck* getCheck() { return &check_; }

private:
  rfb::Rect markRect();

  WCheck check_;
};

} // namespace wvw
