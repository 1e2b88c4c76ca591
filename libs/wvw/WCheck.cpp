#include "wvw/WCheck.h"

#include "wvw/Style.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WCheck");

namespace wvw {

namespace {
// 8 x 8 marks, one byte per row, most significant bit leftmost.
const uint8_t tick[8] = {0x02, 0x06, 0x8E, 0xDC, 0xF8, 0x70, 0x20, 0x00};
const uint8_t dot[8] = {0x00, 0x00, 0x18, 0x3C, 0x3C, 0x18, 0x00, 0x00};
} // namespace

WCheck::WCheck(bool checked, bool radio) : checked_(checked), radio_(radio), indeterminate_(false) {
}

WCheck::~WCheck() = default;

void WCheck::setChecked(bool checked) {
  if (checked == checked_ && !indeterminate_)
    return;
  checked_ = checked;
  indeterminate_ = false;
  invalidate();
  onChange(this);
}

void WCheck::setIndeterminate() {
  if (indeterminate_)
    return;
  indeterminate_ = true;
  checked_ = true;
  invalidate();
  onChange(this);
}

void WCheck::setRadio(bool radio) {
  if (radio == radio_)
    return;
  radio_ = radio;
  invalidate();
  onChange(this);
}

bool WCheck::onEnabledChange(Widget* source) {
  if (source == this)
    invalidate();
  return Widget::onEnabledChange(source);
}

void WCheck::getPreferredSize(int* width, int* height) {
  *width = 10;
  *height = 10;
}

void WCheck::draw(rfb::WritablePixelBuffer* pb) {
  Style* s = getStyle();
  bool dim = !enabled_ || indeterminate_;
  pb->fillRect(rfb::Rect(0, 0, width_, height_),
               colourToPixel(dim ? s->disabledFieldBackground : s->fieldBackground, pb));
  if (!checked_)
    return;
  uint32_t pixel = colourToPixel(enabled_ ? s->textColour : s->disabledTextColour, pb);
  drawMark(pb, pixel);
}

void WCheck::drawMark(rfb::WritablePixelBuffer* pb, uint32_t pixel) {
  rfb::Rect r = rfb::Rect::at(rfb::Point((width_ - 8) / 2, (height_ - 8) / 2), 8, 8);
  pb->maskRect(r, pixel, radio_ ? dot : tick);
}

} // namespace wvw
