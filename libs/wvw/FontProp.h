// A proportional bitmap font: glyph records and bitmaps for the code-point
// pages of a page list (static data, not owned). Code points outside every
// page are drawn with record 0.
#pragma once

#include "wvw/Font.h"

namespace wvw {

class FontProp : public Font {
public:
  struct Glyph {
    uint32_t offset;  // of the bitmap in the bitmap bytes
    uint16_t advance; // pen step
    int8_t xOffset;   // of the bitmap from the pen
    int8_t yOffset;   // from the pen, whose y is the top of the line
    uint8_t width;
    uint8_t height;
    uint8_t zero[2];
  };

  // pages: page starts (multiples of 128), the first 0, ended by 0xFFFFFFFF;
  // 128 records per page in list order.
  constexpr FontProp(uint32_t height_, const Glyph* glyphs, const uint8_t* bitmaps,
                     const uint32_t* pages)
      : Font(height_), glyphs_(glyphs), bitmaps_(bitmaps), pages_(pages) {}

  void drawGlyph(rfb::WritablePixelBuffer* pb, uint32_t c, const rfb::Point& pen,
                 uint32_t pixel) override;
  int glyphWidth(uint32_t c) override;

  const Glyph& glyph(uint32_t c) const;

  static FontProp helv15_u;
  static FontProp helvB15;
  static FontProp helvB15_u;

private:
  const Glyph* glyphs_;
  const uint8_t* bitmaps_;
  const uint32_t* pages_;
};

static_assert(sizeof(FontProp::Glyph) == 12, "glyph records are 12 bytes");

} // namespace wvw
