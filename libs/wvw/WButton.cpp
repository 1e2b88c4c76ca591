#include "wvw/WButton.h"

#include "rfb/KeysymNames.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WButton");

namespace wvw {

namespace {
namespace keys = rfb::keys;
// The buttons that press a push button: 0-2 (3 and 4 are the wheel).
const int pressButtons = 0x7;
} // namespace

WButton::WButton() : content_(nullptr), pressed_(false), keyPress_(false) {
}

WButton::~WButton() = default;

void WButton::setContent(Widget* content) {
  if (content_)
    removeChild(content_);
  content_ = content;
  if (content)
    addChild(content);
}

bool WButton::setPressed(bool pressed) {
  if (pressed == pressed_)
    return false;
  pressed_ = pressed;
  if (!pressed)
    keyPress_ = false;
  onChange(this);
  return true;
}

bool WButton::acceptsFocus() {
  return enabled_ && visible_;
}

void WButton::pointerEvent(const rfb::Point& pos, int buttonMask) {
  Widget::pointerEvent(pos, buttonMask);
}

// The pointer may leave in the same event that releases the buttons over
// another widget: a press that the pointer made ends without a click.
void WButton::pointerLeave() {
  AliveCheck alive(this);
  if (pressed_ && !keyPress_)
    setPressed(false);
  if (!alive.gone())
    Widget::pointerLeave();
}

bool WButton::onButtonPress(int button, Widget* source) {
  if (source == this && button >= 0 && button <= 2 && enabled_) {
    AliveCheck alive(this);
    keyPress_ = false;
    setPressed(true);
    if (alive.gone())
      return true;
  }
  return WLayout::onButtonPress(button, source);
}

bool WButton::onPointerMove(const rfb::Point& pos, Widget* source) {
  if (source == this) {
    AliveCheck alive(this);
    bool inside = rfb::Rect(0, 0, width_, height_).contains(pos);
    if (!inside)
      setPressed(false);
    else if (lastButtons_ & pressButtons && enabled_)
      setPressed(true);
    if (alive.gone())
      return true;
  }
  return WLayout::onPointerMove(pos, source);
}

bool WButton::onButtonRelease(int button, Widget* source) {
  if (source == this && pressed_ && !keyPress_ && button >= 0 && button <= 2) {
    AliveCheck alive(this);
    setPressed(false);
    if (alive.gone())
      return true;
    // A click handler may delete the button: touch nothing after it.
    if (enabled_ && onClick(this))
      return true;
    if (alive.gone())
      return true;
  }
  return WLayout::onButtonRelease(button, source);
}

bool WButton::onKey(uint32_t keysym, bool down, Widget* source) {
  if (source == this && (keysym == keys::Return || keysym == keys::space)) {
    AliveCheck alive(this);
    bool wasPressed = pressed_;
    bool changed = setPressed(down && enabled_);
    if (alive.gone())
      return true;
    if (down && changed)
      keyPress_ = true;
    if (!down && changed && wasPressed) {
      if (onClick(this))
        return true;
      if (alive.gone())
        return true;
    }
  }
  return WLayout::onKey(keysym, down, source);
}

// A press made with a key ends without a click when the focus (and so the
// key's release) goes elsewhere.
bool WButton::onFocusChange(bool reverse, Widget* source) {
  if (source == this && pressed_ && keyPress_ && !hasFocus()) {
    AliveCheck alive(this);
    setPressed(false);
    if (alive.gone())
      return true;
  }
  return WLayout::onFocusChange(reverse, source);
}

bool WButton::onEnabledChange(Widget* source) {
  if (source == this) {
    AliveCheck alive(this);
    if (!enabled_)
      setPressed(false);
    if (!alive.gone() && content_)
      content_->setEnabled(enabled_);
    if (alive.gone())
      return true;
  }
  return WLayout::onEnabledChange(source);
}

} // namespace wvw
