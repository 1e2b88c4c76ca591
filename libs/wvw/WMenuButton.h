// A bevel button showing a text and an arrow that opens its menu over
// itself. The menu, the content layout, label and arrow are members; the
// owner (the layout that holds the button) is not owned.
#pragma once

#include "wvw/WArrow.h"
#include "wvw/WBevelButton.h"
#include "wvw/WLabel.h"
#include "wvw/WLayoutMenu.h"

namespace wvw {

class WMenuButton : public WBevelButton {
public:
  WMenuButton(WLayout* owner, const char* text, int direction);
  ~WMenuButton() override;

  bool onKey(uint32_t keysym, bool down, Widget* source) override;
  // A click pops the menu up over the button.
  bool onClick(Widget* source) override;
  bool onEnabledChange(Widget* source) override;
  bool onSizeChange(Widget* source) override;

  WLayoutMenu* getMenu() { return &menu_; }
  WLabel* getLabel() { return &label_; }
  WArrow* getArrow() { return &arrow_; }

private:
  WLayoutMenu menu_;
  WLayout content_;
  WLabel label_;
  WArrow arrow_;
  WLayout* owner_;
  // A key press reached the button while its menu was closed, so the
  // release may click it.
  bool keyPressSeen_;
};

} // namespace wvw
