#include "wvw/Font8x16.h"

#include "wvw/FontData.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("Font8x16");

namespace wvw {

const uint8_t* const Font8x16::bitmaps = fontdata::font8x16;
Font8x16 Font8x16::instance;

void Font8x16::drawGlyph(rfb::WritablePixelBuffer* pb, uint32_t c, const rfb::Point& pen,
                         uint32_t pixel) {
  pb->maskRect(rfb::Rect::at(pen, 8, 16), pixel, glyphBitmap(c), 1, 0);
}

const uint8_t* Font8x16::glyphBitmap(uint32_t c) {
  return bitmaps + 16 * (c < 256 ? c : 0);
}

} // namespace wvw
