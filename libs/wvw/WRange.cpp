#include "wvw/WRange.h"

#include "wvw/Font.h"
#include "wvw/Style.h"

#include "rfb/KeysymNames.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <algorithm>
#include <cstdio>

static plat::LogWriter vlog("WRange");

namespace wvw {

namespace {
namespace keys = rfb::keys;
const int firstRepeatMs = 300, fastestRepeatMs = 100;
} // namespace

void startRepeat(plat::Timer* timer, int ms) {
  try {
    timer->start(ms);
  } catch (plat::Exception& e) {
    vlog.error("No auto-repeat: %s", e.str());
  }
}

WRange::WRange(int minimum, int maximum, bool wrap)
    : decButton_("<"), incButton_(">"), minimum_(minimum), maximum_(maximum), value_(minimum),
      repeatTimer_(this), wrap_(wrap) {
  addChild(&decButton_);
  addChild(&incButton_);
}

WRange::~WRange() {
  repeatTimer_.stop();
}

void WRange::setValue(int value) {
  if (value < minimum_ || value > maximum_)
    return;
  if (value == value_)
    return;
  value_ = value;
  onChange(this);
}

void WRange::setRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
  setValue(std::max(minimum, std::min(value_, maximum)));
}

int WRange::getValue() {
  return value_;
}

void WRange::increment() {
  if (value_ < maximum_)
    value_++;
  else if (wrap_)
    value_ = minimum_;
  onChange(this);
}

void WRange::decrement() {
  if (value_ > minimum_)
    value_--;
  else if (wrap_)
    value_ = maximum_;
  onChange(this);
}

bool WRange::timerCallback(plat::Timer* timer) {
  if (incButton_.isPressed())
    increment();
  else if (decButton_.isPressed())
    decrement();
  else
    return false;
  startRepeat(timer, std::max(timer->getTimeoutMs() * 4 / 5, fastestRepeatMs));
  return false;
}

bool WRange::onKey(uint32_t keysym, bool down, Widget* source) {
  if ((source == this || source == &decButton_ || source == &incButton_) && !down) {
    if (keysym == keys::Left) {
      decrement();
      return true;
    }
    if (keysym == keys::Right) {
      increment();
      return true;
    }
  }
  return WLayout::onKey(keysym, down, source);
}

bool WRange::onClick(Widget* source) {
  AliveCheck alive(this);
  if (source == &incButton_)
    increment();
  else if (source == &decButton_)
    decrement();
  if (alive.gone())
    return true;
  return WLayout::onClick(source);
}

bool WRange::onChange(Widget* source) {
  if (source == &decButton_ || source == &incButton_)
    startRepeat(&repeatTimer_, firstRepeatMs);
  else if (source == this)
    invalidate();
  return WLayout::onChange(source);
}

bool WRange::onEnabledChange(Widget* source) {
  if (source == this) {
    AliveCheck alive(this);
    decButton_.setEnabled(enabled_);
    if (!alive.gone())
      incButton_.setEnabled(enabled_);
    if (alive.gone())
      return true;
    invalidate();
  }
  return WLayout::onEnabledChange(source);
}

bool WRange::onSizeChange(Widget* source) {
  if (source == this) {
    int w = width_, h = height_;
    setChildRect(&decButton_, rfb::Rect(0, 0, h, h));
    setChildRect(&incButton_, rfb::Rect(w - h, 0, w, h));
  }
  return WLayout::onSizeChange(source);
}

void WRange::draw(rfb::WritablePixelBuffer* pb) {
  WLayout::draw(pb);
  int w = width_, h = height_;
  rfb::Rect field(h, 0, w - h, h);
  if (field.isEmpty())
    return;
  drawBevel(pb, field, true, false);
  rfb::Rect inner = growRect(field, -2);
  Style* s = getStyle();
  pb->fillRect(inner,
               colourToPixel(enabled_ ? s->fieldBackground : s->disabledFieldBackground, pb));
  char text[16];
  snprintf(text, sizeof(text), "%d", value_);
  int tw = s->font->textWidth(text);
  rfb::Point at(inner.tl.x + (inner.width() - tw) / 2,
                inner.tl.y + (inner.height() - int(s->font->height)) / 2);
  s->font->drawText(pb, text, at,
                    colourToPixel(enabled_ ? s->textColour : s->disabledTextColour, pb));
}

} // namespace wvw
