#include "wvw/WMenuButton.h"

#include "wvw/WMenuItem.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WMenuButton");

namespace wvw {

WMenuButton::WMenuButton(WLayout* owner, const char* text, int direction)
    : menu_(owner), label_(text), arrow_(direction), owner_(owner), keyPressSeen_(false) {
  content_.addChild(&label_);
  content_.addChild(&arrow_);
  setContent(&content_);
  menu_.setOpener(this);
}

WMenuButton::~WMenuButton() {
  menu_.setOpener(nullptr);
}

bool WMenuButton::onSizeChange(Widget* source) {
  if (source == this) {
    int lw, lh;
    label_.getPreferredSize(&lw, &lh);
    label_.setSize(lw, lh);
    arrow_.setSize(17, lh);
    int x = (width_ - lw - 17) / 2;
    int y = (height_ - lh) / 2 - 3;
    content_.moveChild(&label_, rfb::Point(x, y));
    content_.moveChild(&arrow_, rfb::Point(x + lw, y));
  }
  return WBevelButton::onSizeChange(source);
}

bool WMenuButton::onEnabledChange(Widget* source) {
  if (source == this) {
    label_.setEnabled(enabled_);
    arrow_.setEnabled(enabled_);
  }
  return WBevelButton::onEnabledChange(source);
}

bool WMenuButton::onClick(Widget* source) {
  if (source == this) {
    menu_.popup(owner_->getChildPosition(this));
    return true;
  }
  return WBevelButton::onClick(source);
}

bool WMenuButton::onKey(uint32_t keysym, bool down, Widget* source) {
  if (source != this)
    return WBevelButton::onKey(keysym, down, source);
  if (!menu_.isVisible()) {
    if (down) {
      keyPressSeen_ = true;
    } else {
      if (!keyPressSeen_)
        return true;
      keyPressSeen_ = false;
    }
    return WBevelButton::onKey(keysym, down, source);
  }
  if (!down)
    return WBevelButton::onKey(keysym, down, source);
  menu_.onOpenerKey(keysym, isShiftDown());
  return true;
}

} // namespace wvw
