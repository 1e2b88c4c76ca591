#include "ui/WPartition.h"

#include "wvw/Style.h"

namespace ui {

void WPartition::draw(rfb::WritablePixelBuffer* pb) {
  pb->fillRect(rfb::Rect(width_ / 2, 0, width_ / 2 + 1, height_),
               wvw::colourToPixel(getStyle()->bevelShadow, pb));
}

void WPartition::getPreferredSize(int* width, int* height) {
  *width = 16;
  *height = 1;
}

} // namespace ui
