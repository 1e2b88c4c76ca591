#include "wvw/WFrame.h"

#include "wvw/Style.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WFrame");

namespace wvw {

WFrame::WFrame(bool sunken) : sunken_(sunken) {
}

WFrame::~WFrame() = default;

void WFrame::draw(rfb::WritablePixelBuffer* pb) {
  rfb::Rect all(0, 0, width_, height_);
  pb->fillRect(all, colourToPixel(getStyle()->background, pb));
  drawBevel(pb, all, sunken_, false);
  WLayout::draw(pb);
}

void WFrame::getPreferredSize(int* width, int* height) {
  WLayout::getPreferredSize(width, height);
  *width += 4;
  *height += 4;
}

void WFrame::fit() {
  fitToChildren(3);
}

} // namespace wvw
