// A bitmap font compiled into the program: draws UTF-8 text into a pixel
// buffer as one-bit glyph masks and measures it. Text ends at end (one past
// the last byte) or, when end is null, at a NUL. A malformed UTF-8 sequence
// counts as one character, code point 0xFFFFFFFF, and decoding never reads
// past end or the NUL.
#pragma once

#include "rfb/Point.h"
#include "rfb/WritablePixelBuffer.h"

#include <cstdint>

namespace wvw {

class Font {
public:
  explicit constexpr Font(uint32_t height_) : height(height_) {}

  // Draws one glyph with the pen (top-left of the text line) at pen.
  virtual void drawGlyph(rfb::WritablePixelBuffer* pb, uint32_t c, const rfb::Point& pen,
                         uint32_t pixel) = 0;
  virtual void drawText(rfb::WritablePixelBuffer* pb, const char* text, const rfb::Point& pen,
                        uint32_t pixel, const char* end = nullptr);
  // The pen step of a glyph in pixels.
  virtual int glyphWidth(uint32_t c) = 0;
  virtual int textWidth(const char* text, const char* end = nullptr);
  // The glyph's bits where the font has a fixed cell; null otherwise.
  virtual const uint8_t* glyphBitmap(uint32_t c);
  // The position in the text nearest to x pixels from its start.
  virtual const char* charAtX(int x, const char* text, const char* end = nullptr);
  virtual ~Font();

  // Decodes the character at p and moves p past it; 0 at the end.
  static uint32_t decode(const char*& p, const char* end);

  uint32_t height;
};

} // namespace wvw
