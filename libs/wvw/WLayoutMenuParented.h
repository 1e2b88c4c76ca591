// The menu of a menu bar entry: moving the pointer out of it over the bar
// lets the bar switch to the entry under the pointer, and the bar hears when
// the menu is taken away. The bar is not owned.
#pragma once

#include "wvw/WLayoutMenu.h"

namespace wvw {

class WMenuBar;

class WLayoutMenuParented : public WLayoutMenu {
public:
  explicit WLayoutMenuParented(WMenuBar* bar);
  ~WLayoutMenuParented() override;

  bool onPointerMove(const rfb::Point& pos, Widget* source) override;
  bool onDetach(Widget* source) override;

private:
  WMenuBar* bar_;
};

} // namespace wvw
