#include "wvw/Font8x16.h"
#include "wvw/FontProp.h"

#include "rfb/ManagedPixelBuffer.h"

#include "PngFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using rfb::ManagedPixelBuffer;
using rfb::PixelLayout;
using rfb::Point;
using rfb::Rect;
using wvw::Font;
using wvw::Font8x16;
using wvw::FontProp;

TEST(Font, DecodeTable) {
  struct Case {
    const char* name;
    std::string text;
    bool bounded;
    std::vector<uint32_t> points;
  } cases[] = {
      {"ascii", "ab", false, {'a', 'b'}},
      {"two bytes", "\xC3\xA9", false, {0xE9}},
      {"four bytes", "\xF0\x9F\x98\x80", false, {0x1F600}},
      {"lone continuation", "\x80z", false, {0xFFFFFFFF, 'z'}},
      {"truncated before a plain byte", "\xE2\x82z", false, {0xFFFFFFFF, 'z'}},
      {"truncated at the NUL", "\xE2\x82", false, {0xFFFFFFFF}},
      {"truncated at end", "\xE2\x82", true, {0xFFFFFFFF, 0xFFFFFFFF}},
      {"five leading ones", "\xF8\x80", false, {0xFFFFFFFF, 0xFFFFFFFF}},
      {"NUL ends bounded text", std::string("a\0b", 3), true, {'a'}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const char* p = c.text.data();
    const char* end = c.bounded ? c.text.data() + c.text.size() : nullptr;
    std::vector<uint32_t> got;
    while (uint32_t ch = Font::decode(p, end)) {
      got.push_back(ch);
      ASSERT_LE(got.size(), 10u);
    }
    EXPECT_EQ(got, c.points);
    EXPECT_LE(p, c.text.data() + c.text.size() + (c.bounded ? 0 : 1));
  }
}

TEST(Font8x16, WidthsAndCharAtX) {
  Font& f = Font8x16::instance;
  EXPECT_EQ(f.height, 16u);
  EXPECT_EQ(f.textWidth("abc"), 24);
  EXPECT_EQ(f.textWidth(""), 0);
  EXPECT_EQ(f.textWidth("\xC3\xA9t\xC3\xA9"), 24);
  EXPECT_EQ(f.textWidth("\x80\x80"), 16); // each malformed byte is one glyph
  const char* t = "abcd";
  EXPECT_EQ(f.textWidth(t, t + 2), 16);
  struct Case {
    int x;
    int pos;
  } cases[] = {{0, 0}, {4, 0}, {5, 1}, {8, 1}, {12, 1}, {13, 2}, {31, 4}, {32, 4}, {100, 4}};
  for (const Case& c : cases)
    EXPECT_EQ(f.charAtX(c.x, t) - t, c.pos) << c.x;
  EXPECT_EQ(f.charAtX(100, t, t + 2) - t, 2);
  const char* empty = "";
  EXPECT_EQ(f.charAtX(10, empty), empty);
}

TEST(Font8x16, CodePointsDrawTheirCodePageGlyph) {
  ManagedPixelBuffer pb(PixelLayout::pal8, 8, 16);
  struct Case {
    uint32_t c;
    int glyph;
  } cases[] = {{0xE9, 0xE9}, {'A', 'A'}, {0x2592, 0}, {0x100, 0}};
  for (const Case& c : cases) {
    pb.fillRect(pb.getRect(), 0);
    Font8x16::instance.drawGlyph(&pb, c.c, Point(0, 0), 1);
    const uint8_t* bits = Font8x16::bitmaps + 16 * c.glyph;
    for (int y = 0; y < 16; y++)
      for (int x = 0; x < 8; x++)
        EXPECT_EQ(pb.getPixel(Point(x, y)), (bits[y] >> (7 - x)) & 1u)
            << c.c << " " << x << "," << y;
    EXPECT_EQ(Font8x16::instance.glyphBitmap(c.c), bits);
  }
  // U+00E9 is glyph 0xE9 (capital theta in the code page), not e acute (0x82)
  EXPECT_NE(memcmp(Font8x16::bitmaps + 16 * 0xE9, Font8x16::bitmaps + 16 * 0x82, 16), 0);
}

TEST(Font8x16, CodePageLayout) {
  const uint8_t* b = Font8x16::bitmaps;
  for (int y = 0; y < 16; y++) {
    EXPECT_EQ(b[16 * 0xDB + y], 0xFF) << "full block row " << y;
    EXPECT_EQ(b[16 * 0x20 + y], 0x00) << "space row " << y;
    EXPECT_EQ(b[y], 0x00) << "glyph 0 row " << y;
  }
  int shade = 0;
  for (int y = 0; y < 16; y++)
    shade += __builtin_popcount(b[16 * 0xB0 + y]);
  EXPECT_GT(shade, 16); // light shade: a sparse pattern
  EXPECT_LT(shade, 64);
  // e acute is an e with something above it
  int eRows = 0, eAcuteRows = 0;
  for (int y = 0; y < 16; y++) {
    eRows += b[16 * 'e' + y] != 0;
    eAcuteRows += b[16 * 0x82 + y] != 0;
  }
  EXPECT_GT(eAcuteRows, eRows);
}

TEST(FontProp, PagesAndRecords) {
  struct Case {
    FontProp* font;
    std::vector<uint32_t> pages;
  } cases[] = {
      {&FontProp::helv15_u,
       {0, 0x80, 0x100, 0x180, 0x200, 0x280, 0x300, 0x380, 0x400, 0x480, 0x1E00, 0x1E80, 0x2000,
        0x2080, 0x2100, 0x2200}},
      {&FontProp::helvB15, {0}},
      {&FontProp::helvB15_u,
       {0, 0x80, 0x100, 0x180, 0x200, 0x280, 0x300, 0x380, 0x1E00, 0x1E80, 0x2000, 0x2080, 0x2100,
        0x2200}},
  };
  for (const Case& c : cases) {
    FontProp& f = *c.font;
    EXPECT_EQ(f.height, 15u);
    const FontProp::Glyph& missing = f.glyph(0);
    // outside every page: record 0 and its advance
    EXPECT_EQ(&f.glyph(0x4E00), &missing);
    EXPECT_EQ(f.glyphWidth(0x4E00), missing.advance);
    EXPECT_EQ(&f.glyph(0xFFFFFFFF), &missing);
    for (uint32_t page : c.pages)
      for (uint32_t cp = page; cp < page + 128; cp++) {
        const FontProp::Glyph& g = f.glyph(cp);
        // every glyph lies inside the line
        EXPECT_GE(g.yOffset, 0) << std::hex << cp;
        EXPECT_LE(g.yOffset + g.height, int(f.height)) << std::hex << cp;
        EXPECT_EQ(g.zero[0] | g.zero[1], 0);
      }
    for (uint32_t cp = 'A'; cp <= 'Z'; cp++)
      EXPECT_NE(&f.glyph(cp), &missing);
    EXPECT_GT(f.textWidth("MMM"), f.textWidth("iii")); // proportional
  }
  // the regular font has the Latin pages, and the Euro sign
  EXPECT_NE(&FontProp::helv15_u.glyph(0x20AC), &FontProp::helv15_u.glyph(0));
  EXPECT_NE(&FontProp::helv15_u.glyph(0x1E02), &FontProp::helv15_u.glyph(0));
  EXPECT_NE(FontProp::helv15_u.glyph(0x159).advance, 0); // r caron
  // accented capitals start on the line's top row and keep their accent:
  // taller than the capital, no wider
  for (FontProp* f : {&FontProp::helv15_u, &FontProp::helvB15_u})
    for (uint32_t accented : {0xC9u, 0xC5u, 0x10Cu}) {
      const FontProp::Glyph& a = f->glyph(accented);
      const FontProp::Glyph& plain = f->glyph(accented == 0x10C  ? 'C'
                                              : accented == 0xC9 ? 'E'
                                                                 : 'A');
      EXPECT_EQ(a.yOffset, 0) << std::hex << accented;
      EXPECT_GT(a.height, plain.height) << std::hex << accented;
      EXPECT_EQ(a.yOffset + a.height, plain.yOffset + plain.height) << "same baseline";
    }
  // the ASCII-only bold font draws e acute as record 0
  EXPECT_EQ(&FontProp::helvB15.glyph(0xE9), &FontProp::helvB15.glyph(0));
}

TEST(FontProp, DrawsOnlyInsideTheGlyphBox) {
  ManagedPixelBuffer pb(PixelLayout::pal8, 40, 24);
  pb.fillRect(pb.getRect(), 0);
  FontProp::helv15_u.drawText(&pb, "W", Point(10, 4), 1);
  const FontProp::Glyph& g = FontProp::helv15_u.glyph('W');
  Rect box = Rect::at(Point(10 + g.xOffset, 4 + g.yOffset), g.width, g.height);
  int inside = 0;
  for (int y = 0; y < 24; y++)
    for (int x = 0; x < 40; x++)
      if (pb.getPixel(Point(x, y))) {
        EXPECT_TRUE(box.contains(Point(x, y))) << x << "," << y;
        inside++;
      }
  EXPECT_GT(inside, 10);
}

// Pictures of sample text in each font, to look at.
TEST(Font, SamplePictures) {
  struct Sample {
    const char* file;
    Font* font;
  } samples[] = {{"font-8x16.png", &Font8x16::instance},
                 {"font-helv15_u.png", &FontProp::helv15_u},
                 {"font-helvB15.png", &FontProp::helvB15},
                 {"font-helvB15_u.png", &FontProp::helvB15_u}};
  const char* lines[] = {
      "The quick brown fox jumps over the lazy dog 0123456789",
      "Gr\xC3\xBC\xC3\x9F"
      "e \xC3\x89t\xC3\xA9 \xC3\x85ngstr\xC3\xB6m \xC5\x81\xC3\xB3"
      "d\xC5\xBA "
      "\xC4\x8C\xC5\x99 \xE2\x82\xAC 5 \xE2\x80\x94 \xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x88\x9E",
      ("\xE1\xB8\x82\xE1\xBA\x80 \xC2\xA9\xC2\xAE \xE2\x84\xA2 \xE2\x89\xA0 \xE2\x89\xA4 "
       "bad:\x80\xE2\x82 end"),
  };
  for (const Sample& s : samples) {
    int w = 0;
    for (const char* l : lines)
      w = std::max(w, s.font->textWidth(l));
    ManagedPixelBuffer pb(PixelLayout::xrgb32LittleEndian, w + 16, int(s.font->height) * 3 + 24);
    pb.fillRect(pb.getRect(), 0xFFFFFF);
    for (int i = 0; i < 3; i++)
      s.font->drawText(&pb, lines[i], Point(8, 8 + i * int(s.font->height + 4)), 0x000000);
    std::string path = std::string(ZAV_BINARY_DIR) + "/" + s.file;
    EXPECT_TRUE(testing_support::writePng(pb, path)) << path;
  }
}
