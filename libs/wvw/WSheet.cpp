#include "wvw/WSheet.h"

#include "wvw/Style.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WSheet");

namespace wvw {

WSheet::WSheet(Widget* content) : content_(content), tabOffset_(0), border_(10) {
  int w = 0, h = 0;
  if (content) {
    addChildAt(content, rfb::Point(border_, border_));
    content->getPreferredSize(&w, &h);
  }
  setSize(w + 2 * border_, h + 2 * border_);
}

WSheet::~WSheet() = default;

void WSheet::getPreferredSize(int* width, int* height) {
  int w = 0, h = 0;
  if (content_)
    content_->getPreferredSize(&w, &h);
  *width = w + 2 * border_;
  *height = h + 2 * border_;
}

bool WSheet::onSizeChange(Widget* source) {
  if (source == this && content_)
    setChildRect(content_, rfb::Rect(border_, border_, std::max(width_ - border_, border_),
                                     std::max(height_ - border_, border_)));
  return WLayout::onSizeChange(source);
}

void WSheet::draw(rfb::WritablePixelBuffer* pb) {
  WLayout::draw(pb);
  Style* s = getStyle();
  uint32_t light = colourToPixel(s->bevelHighlight, pb);
  uint32_t dark = colourToPixel(s->bevelShadow, pb);
  int tabLeft = tabRect_.tl.x + tabOffset_, tabRight = tabRect_.br.x + tabOffset_;
  rfb::Rect outer(0, 0, width_, height_);
  for (int ring = 0; ring < 2; ring++) {
    rfb::Rect r = growRect(outer, -ring);
    int x0 = r.tl.x, y0 = r.tl.y, x1 = r.br.x, y1 = r.br.y;
    int gapEnd = tabRight - (ring == 1 ? 2 : 1);
    pb->fillRect(rfb::Rect(x0, y0, std::max(x0, std::min(tabLeft + 2, x1)), y0 + 1), light);
    pb->fillRect(rfb::Rect(std::min(std::max(gapEnd, x0), x1), y0, x1, y0 + 1), light);
    pb->fillRect(rfb::Rect(x1 - 1, y0, x1, y1), dark);
    pb->fillRect(rfb::Rect(x0, y0, x0 + 1, y1), light);
    pb->fillRect(rfb::Rect(x0, y1 - 1, x1, y1), dark);
  }
}

} // namespace wvw
