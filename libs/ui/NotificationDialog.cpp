#include "ui/NotificationDialog.h"

namespace ui {

void NotificationDialog::Layout::draw(rfb::WritablePixelBuffer* pb) {
  int w = width(), h = height(), b = borderWidth;
  pb->fillRect(rfb::Rect(0, 0, w, h), wvw::colourToPixel(White, pb));
  uint32_t black = wvw::colourToPixel(Black, pb);
  pb->fillRect(rfb::Rect(0, 0, w, b), black);
  pb->fillRect(rfb::Rect(0, 0, b, h), black);
  pb->fillRect(rfb::Rect(0, h - b, w, h), black);
  pb->fillRect(rfb::Rect(w - b, 0, w, h), black);
  wvw::WLayout::draw(pb);
}

NotificationDialog::NotificationDialog(Display* dpy)
    : TXWPopup(dpy, nullptr, nullptr, nullptr), hideTimer_(this) {
  setChild(&layout_);
}

NotificationDialog::~NotificationDialog() {
  if (mapped_)
    TXWParent::unmap();
  dropChild();
  hideTimer_.stop();
}

void NotificationDialog::popUp(int timeoutMs) {
  if (timeoutMs > 0)
    hideTimer_.start(timeoutMs);
  setContentSize(layout_.width(), layout_.height());
  Window root;
  int x, y;
  unsigned int rootWidth, rootHeight, border, depth;
  if (XGetGeometry(dpy_, DefaultRootWindow(dpy_), &root, &x, &y, &rootWidth, &rootHeight, &border,
                   &depth))
    setPosition(int(rootWidth) - width_, int(rootHeight) - height_);
  else
    setPosition(0, 0);
  XRaiseWindow(dpy_, win_);
  map();
}

bool NotificationDialog::timerCallback(plat::Timer* timer) {
  if (timer == &hideTimer_) {
    unmap();
    return false;
  }
  return TXWParent::timerCallback(timer);
}

} // namespace ui
