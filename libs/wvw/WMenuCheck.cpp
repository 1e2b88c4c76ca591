#include "wvw/WMenuCheck.h"

#include "wvw/Style.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WMenuCheck");

namespace wvw {

WMenuCheck::WMenuCheck() : WCheck(false, false) {
}

WMenuCheck::~WMenuCheck() = default;

void WMenuCheck::draw(rfb::WritablePixelBuffer* pb) {
  Style* s = getStyle();
  pb->fillRect(rfb::Rect(0, 0, width_, height_), colourToPixel(s->background, pb));
  if (!isChecked())
    return;
  drawMark(pb, colourToPixel(s->textColour, pb));
}

} // namespace wvw
