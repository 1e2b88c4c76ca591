#include "wvw/WIconMenuItem.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WIconMenuItem");

namespace wvw {

WIconMenuItem::WIconMenuItem(WMenu* menu, const char* text, bool checkable)
    : WMenuItem(menu, text, checkable) {
}

// The icon leaves the item before it goes.
WIconMenuItem::~WIconMenuItem() {
  if (icon_)
    removeChild(icon_.get());
}

void WIconMenuItem::setIcon(const uint8_t* bitmap, int width, int height) {
  if (icon_) {
    removeChild(icon_.get());
    icon_.reset();
  }
  icon_.reset(new WIcon(bitmap, width, height));
  icon_->setSize(width, height);
  addChild(icon_.get());
  updateLayout();
}

void WIconMenuItem::getPreferredSize(int* width, int* height) {
  WMenuItem::getPreferredSize(width, height);
  if (icon_ && !isSeparator()) {
    int w, h;
    icon_->getPreferredSize(&w, &h);
    *width += w + 8;
  }
}

void WIconMenuItem::updateLayout() {
  WMenuItem::updateLayout();
  if (icon_)
    moveChild(icon_.get(), rfb::Point(width_ - icon_->width(), 0));
}

bool WIconMenuItem::onSizeChange(Widget* source) {
  AliveCheck alive(this);
  bool handled = WMenuItem::onSizeChange(source);
  if (!alive.gone() && source == this)
    updateLayout();
  return handled;
}

} // namespace wvw
