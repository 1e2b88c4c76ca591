#include "wvw/WMenuCheck.h"

#include "wvw/Style.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WMenuCheck");

namespace wvw {

namespace {
// 8 x 8 marks, one byte per row, most significant bit leftmost.
const uint8_t tick[8] = {0x02, 0x06, 0x8E, 0xDC, 0xF8, 0x70, 0x20, 0x00};
const uint8_t dot[8] = {0x00, 0x00, 0x18, 0x3C, 0x3C, 0x18, 0x00, 0x00};
} // namespace

WMenuCheck::WMenuCheck() : WCheck(false, false) {
}

WMenuCheck::~WMenuCheck() = default;

void WMenuCheck::draw(rfb::WritablePixelBuffer* pb) {
  Style* s = getStyle();
  pb->fillRect(rfb::Rect(0, 0, width_, height_), colourToPixel(s->background, pb));
  if (!isChecked())
    return;
  rfb::Rect r = rfb::Rect::at(rfb::Point((width_ - 8) / 2, (height_ - 8) / 2), 8, 8);
  pb->maskRect(r, colourToPixel(s->textColour, pb), isRadio() ? dot : tick);
}

} // namespace wvw
