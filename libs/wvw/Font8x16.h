// The fixed 8 x 16 font laid out as code page 437: code points below 256 are
// drawn with the glyph of that number (so U+00E9 draws glyph 0xE9), others
// with glyph 0.
#pragma once

#include "wvw/Font.h"

namespace wvw {

class Font8x16 : public Font {
public:
  constexpr Font8x16() : Font(16) {}

  void drawGlyph(rfb::WritablePixelBuffer* pb, uint32_t c, const rfb::Point& pen,
                 uint32_t pixel) override;
  int glyphWidth(uint32_t) override { return 8; }
  const uint8_t* glyphBitmap(uint32_t c) override;

  // 256 glyphs of 16 bytes, one byte per row, most significant bit leftmost.
  static const uint8_t* const bitmaps;
  static Font8x16 instance;
};

} // namespace wvw
