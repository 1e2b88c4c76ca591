#include "wvw/Font.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("Font");

namespace wvw {

static const uint32_t malformed = 0xFFFFFFFF;

Font::~Font() = default;

uint32_t Font::decode(const char*& text, const char* end) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* e = reinterpret_cast<const unsigned char*>(end);
  if (e && p >= e)
    return 0;
  unsigned char lead = *p++;
  uint32_t c = lead;
  if (lead >= 0x80) {
    int n = 0;
    while (n < 8 && (lead & (0x80 >> n)))
      n++;
    // With a null end the NUL, which is no continuation byte, stops us.
    if (n < 2 || n > 4 || (e && e - (p - 1) < n)) {
      c = malformed;
    } else {
      c = lead & (0x7Fu >> n);
      for (int i = 1; i < n; i++, p++) {
        if ((*p & 0xC0) != 0x80) {
          c = malformed;
          break;
        }
        c = (c << 6) | (*p & 0x3F);
      }
    }
  }
  text = reinterpret_cast<const char*>(p);
  return c;
}

void Font::drawText(rfb::WritablePixelBuffer* pb, const char* text, const rfb::Point& pen,
                    uint32_t pixel, const char* end) {
  rfb::Point p = pen;
  while (uint32_t c = decode(text, end)) {
    drawGlyph(pb, c, p, pixel);
    p.x += glyphWidth(c);
  }
}

int Font::textWidth(const char* text, const char* end) {
  int width = 0;
  while (uint32_t c = decode(text, end))
    width += glyphWidth(c);
  return width;
}

const uint8_t* Font::glyphBitmap(uint32_t) {
  return nullptr;
}

const char* Font::charAtX(int x, const char* text, const char* end) {
  const char* p = text;
  for (;;) {
    const char* before = p;
    uint32_t c = decode(p, end);
    if (!c)
      return before; // the NUL, or end
    int advance = glyphWidth(c);
    if (advance > x)
      return x > advance / 2 ? p : before;
    x -= advance;
  }
}

} // namespace wvw
