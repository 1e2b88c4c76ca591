#include "wvw/FontProp.h"

#include "wvw/FontData.h"

#include "plat/LogWriter.h"

#include <cstddef>

static plat::LogWriter vlog("FontProp");

namespace wvw {

FontProp FontProp::helv15_u(15, fontdata::helv15_u_glyphs, fontdata::helv15_u_bitmaps,
                            fontdata::helv15_u_pages);
FontProp FontProp::helvB15(15, fontdata::helvB15_glyphs, fontdata::helvB15_bitmaps,
                           fontdata::helvB15_pages);
FontProp FontProp::helvB15_u(15, fontdata::helvB15_u_glyphs, fontdata::helvB15_u_bitmaps,
                             fontdata::helvB15_u_pages);

const FontProp::Glyph& FontProp::glyph(uint32_t c) const {
  if (c < 128)
    return glyphs_[c];
  uint32_t page = c & ~0x7Fu;
  for (size_t i = 0; pages_[i] != 0xFFFFFFFF; i++)
    if (pages_[i] == page)
      return glyphs_[i * 128 + (c & 0x7F)];
  return glyphs_[0];
}

void FontProp::drawGlyph(rfb::WritablePixelBuffer* pb, uint32_t c, const rfb::Point& pen,
                         uint32_t pixel) {
  const Glyph& g = glyph(c);
  if (!g.width || !g.height)
    return;
  rfb::Rect r = rfb::Rect::at(rfb::Point(pen.x + g.xOffset, pen.y + g.yOffset), g.width, g.height);
  pb->maskRect(r, pixel, bitmaps_ + g.offset, (g.width + 7) / 8, 0);
}

int FontProp::glyphWidth(uint32_t c) {
  return glyph(c).advance;
}

} // namespace wvw
