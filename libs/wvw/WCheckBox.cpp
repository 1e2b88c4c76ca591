#include "wvw/WCheckBox.h"

#include "rfb/KeysymNames.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WCheckBox");

namespace wvw {

namespace {
namespace keys = rfb::keys;
}

WCheckBox::WCheckBox() : check_(false, false) {
  setContent(&check_);
}

WCheckBox::~WCheckBox() = default;

void WCheckBox::setChecked(bool checked) {
  check_.setChecked(checked);
}
bool WCheckBox::isChecked() {
  return check_.isChecked();
}
void WCheckBox::setIndeterminate() {
  check_.setIndeterminate();
}
bool WCheckBox::isIndeterminate() {
  return check_.isIndeterminate();
}

bool WCheckBox::acceptsFocus() {
  return enabled_ && visible_;
}

void WCheckBox::getPreferredSize(int* width, int* height) {
  *width = 16;
  *height = 16;
}

rfb::Rect WCheckBox::markRect() {
  return getChildRect(&check_);
}

bool WCheckBox::onClick(Widget* source) {
  if (source == this) {
    AliveCheck alive(this);
    setChecked(!isChecked());
    if (alive.gone())
      return true;
  }
  return WButton::onClick(source);
}

// Only a release that ends a press of space clicks.
bool WCheckBox::onKey(uint32_t keysym, bool down, Widget* source) {
  if (source == this && keysym == keys::space) {
    AliveCheck alive(this);
    bool changed = setPressed(down && enabled_);
    if (alive.gone())
      return true;
    if (!down && changed && !pressed_) {
      if (onClick(this))
        return true;
      if (alive.gone())
        return true;
    }
  }
  return WLayout::onKey(keysym, down, source);
}

bool WCheckBox::onSizeChange(Widget* source) {
  if (source == this)
    setChildRect(&check_, rfb::Rect(3, height_ / 2 - 5, 13, height_ / 2 + 5));
  return WButton::onSizeChange(source);
}

bool WCheckBox::onFocusChange(bool reverse, Widget* source) {
  if (source == this) {
    rfb::Rect mark = markRect();
    rfb::RectSet ring(growRect(mark, 3));
    ring.setSubtract(ring, rfb::RectSet(growRect(mark, 2)));
    invalidateRegion(ring);
  }
  return WButton::onFocusChange(reverse, source);
}

void WCheckBox::draw(rfb::WritablePixelBuffer* pb) {
  WButton::draw(pb);
  rfb::Rect mark = markRect();
  if (hasFocus())
    drawFocusRect(pb, growRect(mark, 3));
  drawBevel(pb, growRect(mark, 2), true, check_.isRadio());
}

} // namespace wvw
