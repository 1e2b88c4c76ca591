// The in-place text editor of a name/value list: a one-line text field that
// remembers which value cell it covers (not owned; null while closed).
#pragma once

#include "wvw/WText.h"

namespace ui {

class WLabelItem;

class WTextItem : public wvw::WText {
public:
  WTextItem(uint32_t maxLength, const char* text) : WText(maxLength, text) {}

  WLabelItem* editedCell = nullptr;
};

} // namespace ui
