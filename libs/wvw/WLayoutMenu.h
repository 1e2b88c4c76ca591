// A menu shown as the popup child of the root layout above its owner. While
// it is up it has the keyboard focus; when it goes (popdown, a press outside
// it, another popup) the focus returns to the widget that opened it. Owner
// and opener are not owned; the opener, when set, must outlive the menu (it
// is the widget that embeds it).
#pragma once

#include "wvw/WMenu.h"

#include <functional>

namespace wvw {

class WLayoutMenu : public WMenu {
public:
  // The menu is hidden until it pops up.
  explicit WLayoutMenu(WLayout* owner);
  ~WLayoutMenu() override;

  // Keys from the items that neither activate an item (Return and space do
  // that themselves) nor match a mnemonic go to the opener, which moves
  // through the menu, chooses or closes it.
  bool onKey(uint32_t keysym, bool down, Widget* source) override;
  bool onDetach(Widget* source) override;

  // Shows the menu at point (owner's coordinates), moved inside the root,
  // in as many columns as fit the root's height, and gives it the focus.
  virtual void popup(const rfb::Point& point);
  virtual void popdown();

  // A key pressed on the opener while the menu is up: Tab, Shift+Tab, Down
  // and Up move the focus among the items, Escape calls close (by default
  // popdown) and Return hands the focused item, if any, to choose (by default
  // the item is clicked). Any other key does nothing.
  void onOpenerKey(uint32_t keysym, bool shiftDown, const std::function<void()>& close = nullptr,
                   const std::function<void(WMenuItem*)>& choose = nullptr);

  // The widget that gets the keys and the focus back; null: none.
  void setOpener(Widget* opener) { opener_ = opener; }
  WLayout* getOwner() const { return owner_; }

private:
  // The root layout above the owner (the owner itself at the top) and the
  // owner's offset in it.
  WLayout* ownerRoot(rfb::Point* offset);

  WLayout* owner_;
  Widget* opener_;
};

} // namespace wvw
