// A font of any height for layout tests: every glyph is a fixed number of
// pixels wide and draws nothing.
#pragma once

#include "wvw/Font.h"
#include "wvw/Style.h"
#include "wvw/Widget.h"

class TestFont : public wvw::Font {
public:
  TestFont(uint32_t h, int glyphW) : Font(h), glyphW_(glyphW) {}
  void drawGlyph(rfb::WritablePixelBuffer*, uint32_t, const rfb::Point&, uint32_t) override {}
  int glyphWidth(uint32_t) override { return glyphW_; }

private:
  int glyphW_;
};

// The default style with another font.
inline wvw::Style styleWithFont(wvw::Font* font) {
  wvw::Style s = *wvw::Widget::getDefaultStyle();
  s.font = font;
  return s;
}
