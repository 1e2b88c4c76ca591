#include "wvw/WBevelledProgressBar.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WBevelledProgressBar");

namespace wvw {

WBevelledProgressBar::WBevelledProgressBar(uint32_t total) : bar_(total) {
  addChild(&bar_);
}

WBevelledProgressBar::~WBevelledProgressBar() = default;

bool WBevelledProgressBar::onSizeChange(Widget* source) {
  if (source == this) {
    rfb::Rect inner = growRect(rfb::Rect(0, 0, width_, height_), -3);
    setChildRect(&bar_,
                 rfb::Rect::at(inner.tl, std::max(0, inner.width()), std::max(0, inner.height())));
  }
  return WLayout::onSizeChange(source);
}

void WBevelledProgressBar::draw(rfb::WritablePixelBuffer* pb) {
  WLayout::draw(pb);
  drawBevel(pb, rfb::Rect(0, 0, width_, height_), true, false);
}

void WBevelledProgressBar::getPreferredSize(int* width, int* height) {
  *width = 6;
  *height = 6;
}

} // namespace wvw
