// A menu shown as a window of a widget desktop. It lives only while it has
// the focus: Escape, a click that no handler takes, or the focus moving to
// another window makes the desktop remove it. The desktop is not owned and
// must outlive the menu; a menu destroyed while shown leaves the desktop.
#pragma once

#include "wvw/WMenu.h"

namespace wvw {

class WDesktop;

// The menu it builds on lays out and highlights the items.
class WDesktopMenu : public WMenu {
public:
  explicit WDesktopMenu(WDesktop* desktop);
  ~WDesktopMenu() override;

  bool onKey(uint32_t keysym, bool down, Widget* source) override;
  bool onFocusChange(bool reverse, Widget* source) override;
  // Answers false, whether or not a handler took the click.
  bool onClick(Widget* source) override;

private:
  WDesktop* desktop_;
};

} // namespace wvw
