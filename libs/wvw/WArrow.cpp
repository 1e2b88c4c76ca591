#include "wvw/WArrow.h"

#include "wvw/Style.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WArrow");

namespace wvw {

WArrow::WArrow(int direction) : direction_(direction), margin_(2) {
}

WArrow::~WArrow() = default;

void WArrow::setMargin(int margin) {
  if (margin == margin_)
    return;
  margin_ = margin;
  invalidate();
}

bool WArrow::onEnabledChange(Widget* source) {
  if (source == this)
    invalidate();
  return Widget::onEnabledChange(source);
}

void WArrow::getPreferredSize(int* width, int* height) {
  *width = 4;
  *height = 4;
}

// One line per step from the base to the tip, each one pixel shorter at
// both ends; the base sits a quarter of the square in from its edge.
void WArrow::draw(rfb::WritablePixelBuffer* pb) {
  Style* s = getStyle();
  int side = std::min(width_, height_);
  rfb::Rect square = growRect(
      rfb::Rect::at(rfb::Point((width_ - side) / 2, (height_ - side) / 2), side, side), -margin_);
  if (square.isEmpty())
    return;
  pb->fillRect(square, colourToPixel(s->background, pb));
  uint32_t pixel = colourToPixel(enabled_ ? s->textColour : s->disabledTextColour, pb);
  int left = square.tl.x, top = square.tl.y, right = square.br.x, bottom = square.br.y;
  int d = square.width();
  int n = d / 2 + d % 2;
  int q = d / 4;
  for (int i = 0; i < n; i++) {
    switch (direction_) {
    case Left:
      pb->fillRect(rfb::Rect(right - 1 - i - q, top + i, right - i - q, bottom - i), pixel);
      break;
    case Right:
      pb->fillRect(rfb::Rect(left + i + q, top + i, left + i + q + 1, bottom - i), pixel);
      break;
    case Up:
      pb->fillRect(rfb::Rect(left + i, bottom - 1 - i - q, right - i, bottom - i - q), pixel);
      break;
    default:
      pb->fillRect(rfb::Rect(left + i, top + i + q, right - i, top + i + q + 1), pixel);
      break;
    }
  }
}

} // namespace wvw
