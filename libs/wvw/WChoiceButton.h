// The arrow button of a drop-down choice. It notes whether the choice's menu
// was closed when a key went down, so that the release of the Return that
// chose a menu item does not open the menu again. The menu is not owned.
#pragma once

#include "wvw/WArrowButton.h"

namespace wvw {

class WLayoutMenu;

class WChoiceButton : public WArrowButton {
public:
  explicit WChoiceButton(WLayoutMenu* menu);
  ~WChoiceButton() override;

  bool onKey(uint32_t keysym, bool down, Widget* source) override;

private:
  WLayoutMenu* menu_;
  bool menuClosedAtPress_;
};

} // namespace wvw
