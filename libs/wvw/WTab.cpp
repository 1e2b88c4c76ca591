#include "wvw/WTab.h"

#include "wvw/Style.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WTab");

namespace wvw {

WTab::WTab(const char* text) : label_(text, 1), selected_(false) {
  label_.setMargin(0);
  label_.setAlignment(1, 1);
  setContent(&label_);
}

WTab::~WTab() = default;

void WTab::setSelected(bool selected) {
  if (selected == selected_)
    return;
  selected_ = selected;
  invalidate();
}

bool WTab::onSizeChange(Widget* source) {
  if (source == this)
    setChildRect(&label_, rfb::Rect(3, 0, std::max(width_ - 3, 3), std::max(height_ - 4, 0)));
  return WButton::onSizeChange(source);
}

void WTab::getPreferredSize(int* width, int* height) {
  label_.getPreferredSize(width, height);
  *width += 6;
  *height += 10;
}

void WTab::draw(rfb::WritablePixelBuffer* pb) {
  WLayout::draw(pb);
  Style* s = getStyle();
  uint32_t light = colourToPixel(s->bevelHighlight, pb);
  uint32_t dark = colourToPixel(s->bevelShadow, pb);
  int d = selected_ ? 0 : 2;
  for (const rfb::Rect& r :
       {rfb::Rect(0, 0, width_, height_), growRect(rfb::Rect(0, 0, width_, height_), -1)}) {
    pb->fillRect(rfb::Rect(r.tl.x, r.tl.y, r.br.x, r.tl.y + 1), light);
    pb->fillRect(rfb::Rect(r.tl.x, r.tl.y, r.tl.x + 1, r.br.y - d), light);
    pb->fillRect(rfb::Rect(r.br.x - 1, r.tl.y, r.br.x, r.br.y - d), dark);
  }
}

} // namespace wvw
