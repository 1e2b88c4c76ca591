#include "wvw/WIcon.h"

#include "wvw/Style.h"

namespace wvw {

WIcon::WIcon(const uint8_t* bitmap, int width, int height)
    : bitmap_(bitmap), bitmapWidth_(width), bitmapHeight_(height) {
}

void WIcon::draw(rfb::WritablePixelBuffer* pb) {
  Style* style = getStyle();
  rfb::Rect r =
      rfb::Rect::at(rfb::Point((width() - bitmapWidth_) / 2, (height() - bitmapHeight_) / 2),
                    bitmapWidth_, bitmapHeight_);
  pb->fillRect(r, colourToPixel(style->background, pb));
  const rfb::Colour& ink = isEnabled() ? style->textColour : style->disabledTextColour;
  pb->maskRect(r, colourToPixel(ink, pb), bitmap_);
}

void WIcon::getPreferredSize(int* width, int* height) {
  *width = bitmapWidth_;
  *height = bitmapHeight_;
}

bool WIcon::onEnabledChange(Widget* source) {
  if (source == this)
    invalidate();
  return Widget::onEnabledChange(source);
}

} // namespace wvw
