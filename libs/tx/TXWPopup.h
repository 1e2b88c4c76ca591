// The override-redirect window in which the root layout shows a popup
// widget. A click outside it while it holds the pointer grab closes it: the
// root layout that made it (not owned) then deletes it.
#pragma once

#include "tx/TXWParent.h"

class TXWRootLayout;

class TXWPopup : public TXWParent {
public:
  TXWPopup(Display* dpy, wvw::Widget* widget, TXWindow* parent, TXWRootLayout* rootLayout);

  void handleEvent(TXWindow* window, XEvent* event) override;
};
