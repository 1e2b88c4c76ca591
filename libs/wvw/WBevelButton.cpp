#include "wvw/WBevelButton.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WBevelButton");

namespace wvw {

WBevelButton::WBevelButton() = default;
WBevelButton::~WBevelButton() = default;

void WBevelButton::placeContent() {
  if (!content_)
    return;
  // A button narrower than its bevel leaves its content no room at all.
  rfb::Rect inner = growRect(rfb::Rect(0, 0, width_, height_), -3);
  setChildRect(content_,
               rfb::Rect::at(inner.tl, std::max(0, inner.width()), std::max(0, inner.height())));
}

void WBevelButton::setContent(Widget* content) {
  WButton::setContent(content);
  placeContent();
}

bool WBevelButton::onSizeChange(Widget* source) {
  if (source == this)
    placeContent();
  return WButton::onSizeChange(source);
}

// Only the bevel changes with the pressed look.
bool WBevelButton::onChange(Widget* source) {
  if (source == this) {
    rfb::Rect all(0, 0, width_, height_);
    rfb::RectSet ring(growRect(all, -1));
    ring.setSubtract(ring, rfb::RectSet(growRect(all, -3)));
    invalidateRegion(ring);
  }
  return WButton::onChange(source);
}

// Only the outermost ring shows the focus.
bool WBevelButton::onFocusChange(bool reverse, Widget* source) {
  if (source == this) {
    rfb::Rect all(0, 0, width_, height_);
    rfb::RectSet ring(all);
    ring.setSubtract(ring, rfb::RectSet(growRect(all, -1)));
    invalidateRegion(ring);
  }
  return WButton::onFocusChange(reverse, source);
}

void WBevelButton::draw(rfb::WritablePixelBuffer* pb) {
  WButton::draw(pb);
  rfb::Rect all(0, 0, width_, height_);
  if (hasFocus())
    drawFocusRect(pb, all);
  drawBevel(pb, growRect(all, -1), pressed_, false);
}

void WBevelButton::getPreferredSize(int* width, int* height) {
  int w = 0, h = 0;
  if (content_)
    content_->getPreferredSize(&w, &h);
  *width = w + 6;
  *height = h + 6;
}

} // namespace wvw
