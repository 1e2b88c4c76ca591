#include "wvw/WScrollBar.h"

#include "wvw/WRange.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WScrollBar");

namespace wvw {

namespace {
// 8 x 8 arrows, one byte per row, most significant bit leftmost.
const uint8_t leftArrow[8] = {0x04, 0x0C, 0x1C, 0x3C, 0x3C, 0x1C, 0x0C, 0x04};
const uint8_t rightArrow[8] = {0x20, 0x30, 0x38, 0x3C, 0x3C, 0x38, 0x30, 0x20};
const uint8_t upArrow[8] = {0x00, 0x00, 0x00, 0x00, 0x18, 0x3C, 0x7E, 0xFF};
const uint8_t downArrow[8] = {0xFF, 0x7E, 0x3C, 0x18, 0x00, 0x00, 0x00, 0x00};
const int firstRepeatMs = 300, fastestRepeatMs = 100;

bool horizontal(Orientation o) {
  return o == Orientation::Horizontal;
}
} // namespace

WScrollBar::WScrollBar(Orientation orientation)
    : orientation_(orientation), slider_(orientation),
      decButton_(horizontal(orientation) ? leftArrow : upArrow, 8, 8),
      incButton_(horizontal(orientation) ? rightArrow : downArrow, 8, 8), repeatTimer_(this) {
  addChild(&decButton_);
  addChild(&slider_);
  addChild(&incButton_);
}

WScrollBar::~WScrollBar() {
  repeatTimer_.stop();
}

// Square buttons at the ends, as thick as the bar; the slider between them.
bool WScrollBar::onSizeChange(Widget* source) {
  if (source == this) {
    rfb::Point size(width_, height_);
    int length = along(orientation_, size), thickness = across(orientation_, size);
    auto rect = [this](int fromAlong, int toAlong, int thick) {
      return rfb::Rect(pointAlong(orientation_, fromAlong, 0),
                       pointAlong(orientation_, toAlong, thick));
    };
    setChildRect(&decButton_, rect(0, thickness, thickness));
    setChildRect(&incButton_, rect(length - thickness, length, thickness));
    setChildRect(&slider_, rect(thickness, std::max(length - thickness, thickness), thickness));
  }
  return WLayout::onSizeChange(source);
}

bool WScrollBar::onClick(Widget* source) {
  AliveCheck alive(this);
  if (source == &incButton_)
    slider_.setValue(slider_.getValue() + 1);
  else if (source == &decButton_)
    slider_.setValue(std::max(slider_.getValue() - 1, slider_.getMinimum()));
  if (alive.gone())
    return true;
  return WLayout::onClick(source);
}

bool WScrollBar::onChange(Widget* source) {
  if (source == &decButton_ || source == &incButton_)
    startRepeat(&repeatTimer_, firstRepeatMs);
  return WLayout::onChange(source);
}

bool WScrollBar::timerCallback(plat::Timer* timer) {
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
bool WScrollBar::onButtonPress(int button, Widget* source) {
  if (button == 0 && source == &slider_) {
    rfb::Point at = getChildPosition(&slider_);
    rfb::Rect thumb = slider_.thumbRect();
    int thumbStart = along(orientation_, thumb.tl.translate(at));
    int thumbEnd = along(orientation_, thumb.br.translate(at));
    int p = along(orientation_, slider_.getLastPointer().translate(at));
    int page = along(orientation_, rfb::Point(slider_.width(), slider_.height()));
    int pos = along(orientation_, slider_.getPosition());
    int largest = along(orientation_, slider_.getMaxPos());
    if (p >= thumbStart && p < thumbEnd)
      return WLayout::onButtonPress(button, source);
    int to = p < thumbStart ? std::max(pos - page, 0) : std::min(pos + page, largest);
    AliveCheck alive(this);
    slider_.setPosition(pointAlong(orientation_, to, 0));
    if (alive.gone())
      return true;
    WLayout::onClick(&slider_);
    return true;
  }
  return WLayout::onButtonPress(button, source);
}

} // namespace wvw
