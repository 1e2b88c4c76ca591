#include "zavconfig/NotificationPopup.h"

#include "wvw/Widget.h"

namespace zavconfig {

NotificationPopup::NotificationPopup(Display* dpy)
    : TXWParent(dpy, nullptr), style_(*wvw::Widget::getDefaultStyle()), hideTimer_(this) {
  style_.background = rfb::Colour(255, 255, 255);
  layout_.setStyle(&style_);
  setManaged(false);
  setBorderWidth(1);
  setChild(&layout_);
}

NotificationPopup::~NotificationPopup() {
  hideTimer_.stop();
  // The layout is a member: detach it before the host window goes.
  setChild(nullptr);
}

void NotificationPopup::popUp(int timeoutMs) {
  Screen* screen = DefaultScreenOfDisplay(dpy_);
  setPosition(WidthOfScreen(screen) - width() - 2 - borderWidth,
              HeightOfScreen(screen) - height() - 2 - borderWidth);
  map();
  XRaiseWindow(dpy_, win());
  hideTimer_.stop();
  if (timeoutMs >= 0)
    hideTimer_.start(timeoutMs);
}

void NotificationPopup::hide() {
  hideTimer_.stop();
  unmap();
}

bool NotificationPopup::timerCallback(plat::Timer* timer) {
  if (timer == &hideTimer_) {
    unmap();
    return false;
  }
  return TXWParent::timerCallback(timer);
}

} // namespace zavconfig
