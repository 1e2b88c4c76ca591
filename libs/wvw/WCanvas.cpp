#include "wvw/WCanvas.h"

#include "wvw/Style.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WCanvas");

namespace wvw {

WCanvas::WCanvas() = default;
WCanvas::~WCanvas() = default;

void WCanvas::draw(rfb::WritablePixelBuffer* pb) {
  pb->fillRect(rfb::Rect(0, 0, width_, height_), colourToPixel(getStyle()->background, pb));
  WLayout::draw(pb);
}

} // namespace wvw
