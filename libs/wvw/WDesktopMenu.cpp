#include "wvw/WDesktopMenu.h"

#include "wvw/WDesktop.h"

#include "rfb/KeysymNames.h"

namespace wvw {

namespace {
namespace keys = rfb::keys;
} // namespace

WDesktopMenu::WDesktopMenu(WDesktop* desktop) : WMenu(), desktop_(desktop) {
}

// The desktop must not keep a window that is gone.
WDesktopMenu::~WDesktopMenu() {
  desktop_->removeWindow(this);
}

bool WDesktopMenu::onKey(uint32_t keysym, bool down, Widget* source) {
  if (down && keysym == keys::Escape) {
    // Handlers told of the removal may delete the menu.
    AliveCheck alive(this);
    desktop_->removeWindow(this);
    if (alive.gone())
      return true;
  }
  return WMenu::onKey(keysym, down, source);
}

bool WDesktopMenu::onFocusChange(bool reverse, Widget* source) {
  if (!hasFocus()) {
    AliveCheck alive(this);
    desktop_->removeWindow(this);
    if (alive.gone())
      return true;
  }
  return WMenu::onFocusChange(reverse, source);
}

bool WDesktopMenu::onClick(Widget* source) {
  AliveCheck alive(this);
  if (!WMenu::onClick(source) && !alive.gone())
    desktop_->removeWindow(this);
  return false;
}

} // namespace wvw
