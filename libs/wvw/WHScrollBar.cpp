#include "wvw/WHScrollBar.h"

#include "wvw/WRange.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WHScrollBar");

namespace wvw {

namespace {
// 8 x 8 arrows, one byte per row, most significant bit leftmost.
const uint8_t leftArrow[8] = {0x04, 0x0C, 0x1C, 0x3C, 0x3C, 0x1C, 0x0C, 0x04};
const uint8_t rightArrow[8] = {0x20, 0x30, 0x38, 0x3C, 0x3C, 0x38, 0x30, 0x20};
const int firstRepeatMs = 300, fastestRepeatMs = 100;
} // namespace

WHScrollBar::WHScrollBar()
    : decButton_(leftArrow, 8, 8), incButton_(rightArrow, 8, 8), repeatTimer_(this) {
  addChild(&decButton_);
  addChild(&slider_);
  addChild(&incButton_);
}

WHScrollBar::~WHScrollBar() {
  repeatTimer_.stop();
}

bool WHScrollBar::onSizeChange(Widget* source) {
  if (source == this) {
    int w = width_, h = height_;
    setChildRect(&decButton_, rfb::Rect(0, 0, h, h));
    setChildRect(&incButton_, rfb::Rect(w - h, 0, w, h));
    setChildRect(&slider_, rfb::Rect(h, 0, std::max(w - h, h), h));
  }
  return WLayout::onSizeChange(source);
}

bool WHScrollBar::onClick(Widget* source) {
  AliveCheck alive(this);
  if (source == &incButton_)
    slider_.setValue(slider_.getValue() + 1);
  else if (source == &decButton_)
    slider_.setValue(std::max(slider_.getValue() - 1, slider_.getMinimum()));
  if (alive.gone())
    return true;
  return WLayout::onClick(source);
}

bool WHScrollBar::onChange(Widget* source) {
  if (source == &decButton_ || source == &incButton_)
    startRepeat(&repeatTimer_, firstRepeatMs);
  return WLayout::onChange(source);
}

bool WHScrollBar::timerCallback(plat::Timer* timer) {
  if (incButton_.isPressed())
    slider_.setValue(slider_.getValue() + 1);
  else if (decButton_.isPressed())
    slider_.setValue(std::max(slider_.getValue() - 1, slider_.getMinimum()));
  else
    return false;
  startRepeat(timer, std::max(timer->getTimeoutMs() * 4 / 5, fastestRepeatMs));
  return false;
}

// The slider has handled the press first (one unit toward the pointer).
bool WHScrollBar::onButtonPress(int button, Widget* source) {
  if (button == 0 && source == &slider_) {
    rfb::Point at = getChildPosition(&slider_);
    rfb::Rect thumb = slider_.thumbRect();
    thumb = rfb::Rect(thumb.tl.translate(at), thumb.br.translate(at));
    int p = slider_.getLastPointer().translate(at).x;
    int page = slider_.width();
    int pos = slider_.getPosition().x;
    int largest = slider_.getMaxPos().x;
    if (p >= thumb.tl.x && p < thumb.br.x)
      return WLayout::onButtonPress(button, source);
    int to = p < thumb.tl.x ? std::max(pos - page, 0) : std::min(pos + page, largest);
    AliveCheck alive(this);
    slider_.setPosition(rfb::Point(to, 0));
    if (alive.gone())
      return true;
    WLayout::onClick(&slider_);
    return true;
  }
  return WLayout::onButtonPress(button, source);
}

} // namespace wvw
