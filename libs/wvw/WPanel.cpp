#include "wvw/WPanel.h"

#include "wvw/Style.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WPanel");

namespace wvw {

WPanel::WPanel(const char* title) : title_(title, 0), border_(6), titleHalf_(0) {
  int w, h;
  title_.getPreferredSize(&w, &h);
  title_.setSize(w, h);
  titleHalf_ = h / 2;
  addChild(&title_);
  addChild(&content_);
}

WPanel::~WPanel() = default;

// The content lies inside the border on both sides, as the preferred size
// reckons it.
bool WPanel::onSizeChange(Widget* source) {
  if (source == this) {
    moveChild(&title_, rfb::Point(10, 0));
    int w, h;
    content_.getPreferredSize(&w, &h);
    moveChild(&content_, rfb::Point(border_, title_.height() + border_));
    content_.setSize(std::max(0, width_ - 2 * border_), h);
  }
  return WLayout::onSizeChange(source);
}

void WPanel::getPreferredSize(int* width, int* height) {
  int cw, ch;
  content_.getPreferredSize(&cw, &ch);
  *width = std::max(title_.width(), cw) + 2 * border_;
  *height = title_.height() + ch + 2 * border_;
}

void WPanel::setEnabled(bool enabled) {
  title_.setEnabled(enabled);
  WLayout::setEnabled(enabled);
}

void WPanel::draw(rfb::WritablePixelBuffer* pb) {
  Style* s = getStyle();
  uint32_t dark = colourToPixel(s->bevelShadow, pb);
  uint32_t light = colourToPixel(s->bevelHighlight, pb);
  int l = 0, t = titleHalf_, r = width_, b = height_;
  pb->fillRect(rfb::Rect(l, t, r - 1, t + 1), dark);
  pb->fillRect(rfb::Rect(l, t, l + 1, b - 1), dark);
  pb->fillRect(rfb::Rect(l, b - 2, r - 1, b - 1), dark);
  pb->fillRect(rfb::Rect(r - 2, t, r - 1, b - 1), dark);
  pb->fillRect(rfb::Rect(l + 1, t + 1, r - 2, t + 2), light);
  pb->fillRect(rfb::Rect(l + 1, t + 1, l + 2, b - 2), light);
  pb->fillRect(rfb::Rect(l, b - 1, r, b), light);
  pb->fillRect(rfb::Rect(r - 1, t, r, b), light);
  WLayout::draw(pb);
}

} // namespace wvw
