#include "tx/TXWPopup.h"

#include "tx/TXWRootLayout.h"

TXWPopup::TXWPopup(Display* dpy, wvw::Widget* widget, TXWindow* parent, TXWRootLayout*)
    : TXWParent(dpy, widget, parent) {
  XSetWindowAttributes attr;
  attr.override_redirect = True;
  XChangeWindowAttributes(dpy, win_, CWOverrideRedirect, &attr);
  setupToplevel("", nullptr, 0, nullptr, nullptr, false);
}

void TXWPopup::handleEvent(TXWindow* window, XEvent* ev) {
  if (ev->type == ButtonPress && isGrabbing() && root_ &&
      !rfb::Rect(0, 0, root_->width(), root_->height())
           .contains(rfb::Point(ev->xbutton.x, ev->xbutton.y))) {
    grabPointer(false);
    // The root layout deletes this popup as it is unmapped.
    unmap();
    return;
  }
  TXWParent::handleEvent(window, ev);
}
