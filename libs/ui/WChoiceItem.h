// The in-place drop-down editor of a name/value list, for booleans and
// enumerations: a choice whose text can only be chosen from its menu. It
// tells its owning list (not owned) which entry was chosen, and remembers the
// value cell it covers (not owned; null while closed).
#pragma once

#include "wvw/WChoice.h"

namespace ui {

class WAdvancedListBox;
class WLabelItem;

class WChoiceItem : public wvw::WChoice {
public:
  explicit WChoiceItem(WAdvancedListBox* list);

  bool onButtonPress(int button, wvw::Widget* source) override;
  bool onClick(wvw::Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  bool acceptsFocus() override { return false; }

  WLabelItem* editedCell = nullptr;

private:
  WAdvancedListBox* list_;
};

} // namespace ui
