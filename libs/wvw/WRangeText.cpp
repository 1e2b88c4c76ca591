#include "wvw/WRangeText.h"

#include "plat/LogWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static plat::LogWriter vlog("WRangeText");

namespace wvw {

WRangeText::WRangeText(int minimum, int maximum, bool wrap)
    : WRange(minimum, maximum, wrap), text_(255) {
  addChild(&text_);
  text_.setAlignment(1, 1);
  showValue();
}

WRangeText::~WRangeText() = default;

// The field is rewritten only when it shows something else: rewriting it
// reports a change of the field, which sets the value from it again.
void WRangeText::showValue() {
  char text[16];
  snprintf(text, sizeof(text), "%d", value_);
  if (strcmp(text, text_.getText()) != 0)
    text_.setText(text);
}

void WRangeText::setValue(int value) {
  AliveCheck alive(this);
  WRange::setValue(value);
  if (!alive.gone())
    showValue();
}

void WRangeText::increment() {
  AliveCheck alive(this);
  WRange::increment();
  if (!alive.gone())
    showValue();
}

void WRangeText::decrement() {
  AliveCheck alive(this);
  WRange::decrement();
  if (!alive.gone())
    showValue();
}

void WRangeText::setEnabled(bool enabled) {
  AliveCheck alive(this);
  text_.setEnabled(enabled);
  if (!alive.gone())
    WRange::setEnabled(enabled);
}

// The number is clamped into the range while it is still as wide as it was
// read, so that a huge number becomes the maximum rather than whatever its
// low 32 bits say; the clamped value is then set like any other, with its
// change notice.
bool WRangeText::onChange(Widget* source) {
  if (source == &text_) {
    std::string t = text_.getText();
    if (!t.empty()) {
      errno = 0;
      long long n = strtoll(t.c_str(), nullptr, 10);
      if (n > maximum_)
        n = maximum_;
      else if (n < minimum_)
        n = minimum_;
      AliveCheck alive(this);
      setValue(int(n));
      if (alive.gone())
        return true;
    }
  }
  return WRange::onChange(source);
}

bool WRangeText::onSizeChange(Widget* source) {
  if (source == this)
    setChildRect(&text_, rfb::Rect(height_, 0, width_ - height_, height_));
  return WRange::onSizeChange(source);
}

void WRangeText::draw(rfb::WritablePixelBuffer* pb) {
  WLayout::draw(pb);
}

} // namespace wvw
