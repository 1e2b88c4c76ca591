#include "wvw/WVScrollBar.h"

#include "wvw/WRange.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WVScrollBar");

namespace wvw {

namespace {
// 8 x 8 arrows, one byte per row, most significant bit leftmost.
const uint8_t upArrow[8] = {0x00, 0x00, 0x00, 0x00, 0x18, 0x3C, 0x7E, 0xFF};
const uint8_t downArrow[8] = {0xFF, 0x7E, 0x3C, 0x18, 0x00, 0x00, 0x00, 0x00};
const int firstRepeatMs = 300, fastestRepeatMs = 100;
} // namespace

WVScrollBar::WVScrollBar()
    : decButton_(upArrow, 8, 8), incButton_(downArrow, 8, 8), repeatTimer_(this) {
  addChild(&decButton_);
  addChild(&slider_);
  addChild(&incButton_);
}

WVScrollBar::~WVScrollBar() {
  repeatTimer_.stop();
}

bool WVScrollBar::onSizeChange(Widget* source) {
  if (source == this) {
    int w = width_, h = height_;
    setChildRect(&decButton_, rfb::Rect(0, 0, w, w));
    setChildRect(&incButton_, rfb::Rect(0, h - w, w, h));
    setChildRect(&slider_, rfb::Rect(0, w, w, std::max(h - w, w)));
  }
  return WLayout::onSizeChange(source);
}

bool WVScrollBar::onClick(Widget* source) {
  AliveCheck alive(this);
  if (source == &incButton_)
    slider_.setValue(slider_.getValue() + 1);
  else if (source == &decButton_)
    slider_.setValue(std::max(slider_.getValue() - 1, slider_.getMinimum()));
  if (alive.gone())
    return true;
  return WLayout::onClick(source);
}

bool WVScrollBar::onChange(Widget* source) {
  if (source == &decButton_ || source == &incButton_)
    startRepeat(&repeatTimer_, firstRepeatMs);
  return WLayout::onChange(source);
}

bool WVScrollBar::timerCallback(plat::Timer* timer) {
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
bool WVScrollBar::onButtonPress(int button, Widget* source) {
  if (button == 0 && source == &slider_) {
    rfb::Point at = getChildPosition(&slider_);
    rfb::Rect thumb = slider_.thumbRect();
    thumb = rfb::Rect(thumb.tl.translate(at), thumb.br.translate(at));
    int p = slider_.getLastPointer().translate(at).y;
    int page = slider_.height();
    int pos = slider_.getPosition().y;
    int largest = slider_.getMaxPos().y;
    if (p >= thumb.tl.y && p < thumb.br.y)
      return WLayout::onButtonPress(button, source);
    int to = p < thumb.tl.y ? std::max(pos - page, 0) : std::min(pos + page, largest);
    AliveCheck alive(this);
    slider_.setPosition(rfb::Point(0, to));
    if (alive.gone())
      return true;
    WLayout::onClick(&slider_);
    return true;
  }
  return WLayout::onButtonPress(button, source);
}

} // namespace wvw
