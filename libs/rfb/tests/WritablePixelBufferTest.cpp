#include "rfb/FullFramePixelBuffer.h"
#include "rfb/ManagedPixelBuffer.h"

#include <gtest/gtest.h>
#include <pixman.h>

#include <climits>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

using rfb::FullFramePixelBuffer;
using rfb::ManagedPixelBuffer;
using rfb::PixelLayout;
using rfb::Point;
using rfb::Rect;

static const PixelLayout bgr24(24, 24, false, true, 255, 255, 255, 0, 8, 16);
static const PixelLayout be32(32, 24, true, true, 255, 255, 255, 8, 16, 24);
static const PixelLayout be16(16, 16, true, true, 31, 63, 31, 11, 5, 0);

// Layouts at every depth, including 24-bit and big-endian ones: the drawing
// operations store the same bytes whatever the byte-order flag says.
static const PixelLayout* const layouts[] = {
    &PixelLayout::pal8, &PixelLayout::rgb565, &be16, &bgr24, &PixelLayout::argb32, &be32};

static uint32_t maskFor(int bpp) {
  return bpp == 32 ? 0xffffffffu : (1u << bpp) - 1;
}

// Which pixels of a w x h buffer hold the value v (others hold 0).
static std::string picture(ManagedPixelBuffer& pb, uint32_t v) {
  std::string s;
  for (int y = 0; y < pb.height(); y++) {
    for (int x = 0; x < pb.width(); x++) {
      uint32_t p = pb.getPixel(Point(x, y));
      s += p == v ? '#' : p == 0 ? '.' : '?';
    }
    s += '\n';
  }
  return s;
}

TEST(WritablePixelBuffer, FillClipsAtEveryDepth) {
  for (const PixelLayout* pf : layouts) {
    SCOPED_TRACE(int(pf->bpp));
    uint32_t v = 0xA1B2C3D4 & maskFor(pf->bpp);
    ManagedPixelBuffer pb(*pf, 6, 3);
    pb.fillRect(pb.getRect(), 0);
    pb.fillRect(Rect(-2, 1, 2, 5), v);
    EXPECT_EQ(picture(pb, v), "......\n##....\n##....\n");
    pb.fillRect(Rect(3, 0, 3, 3), v);  // empty
    pb.fillRect(Rect(6, 0, 9, 3), v);  // wholly outside
    pb.fillRect(Rect(0, -4, 6, 0), v); // wholly outside
    EXPECT_EQ(picture(pb, v), "......\n##....\n##....\n");
  }
}

TEST(WritablePixelBuffer, TwentyFourBitFillWritesLeastSignificantFirst) {
  const PixelLayout rgbBigEndian24(24, 24, true, true, 255, 255, 255, 16, 8, 0);
  for (const PixelLayout* pf : {&bgr24, &rgbBigEndian24}) {
    ManagedPixelBuffer pb(*pf, 2, 1);
    pb.fillRect(pb.getRect(), 0x00AABBCC);
    int stride;
    const uint8_t* p = pb.getData(pb.getRect(), &stride);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 6), (std::vector<uint8_t>{204, 187, 170, 204, 187, 170}));
  }
}

TEST(WritablePixelBuffer, OutlineTouchesOnlyTheEdges) {
  ManagedPixelBuffer pb(PixelLayout::pal8, 24, 18);
  pb.fillRect(pb.getRect(), 0);
  pb.outlineRect(Rect(10, 10, 20, 15), 1);
  for (int y = 0; y < 18; y++)
    for (int x = 0; x < 24; x++) {
      bool inside = x >= 10 && x < 20 && y >= 10 && y < 15;
      bool edge = inside && (x == 10 || x == 19 || y == 10 || y == 14);
      EXPECT_EQ(pb.getPixel(Point(x, y)), edge ? 1u : 0u) << x << "," << y;
    }
  ManagedPixelBuffer row(PixelLayout::pal8, 5, 3);
  row.fillRect(row.getRect(), 0);
  row.outlineRect(Rect(1, 1, 4, 2), 1);
  EXPECT_EQ(picture(row, 1), ".....\n.###.\n.....\n");
  // an outline sticking out of the buffer loses its outside edges only
  row.fillRect(row.getRect(), 0);
  row.outlineRect(Rect(-1, 0, 3, 3), 1);
  EXPECT_EQ(picture(row, 1), "###..\n..#..\n###..\n");
}

TEST(WritablePixelBuffer, ImageRectStartsAtTheClippedSourcePixel) {
  ManagedPixelBuffer pb(PixelLayout::pal8, 4, 2);
  pb.fillRect(pb.getRect(), 0);
  uint8_t src[2][7] = {{1, 2, 3, 4, 5, 6, 7}, {11, 12, 13, 14, 15, 16, 17}};
  pb.imageRect(Rect(-3, 0, 4, 2), src);
  EXPECT_EQ(pb.getPixel(Point(0, 0)), 4u);
  EXPECT_EQ(pb.getPixel(Point(3, 0)), 7u);
  EXPECT_EQ(pb.getPixel(Point(0, 1)), 14u);
  // explicit stride, clipped at the top
  uint8_t big[3][10] = {};
  big[1][2] = 42;
  pb.imageRect(Rect(0, -1, 3, 2), big, 10);
  EXPECT_EQ(pb.getPixel(Point(2, 0)), 42u);
}

TEST(WritablePixelBuffer, CopyRectDownwardsCopiesBottomToTop) {
  ManagedPixelBuffer pb(PixelLayout::pal8, 3, 4);
  for (int y = 0; y < 4; y++)
    pb.fillRect(Rect(0, y, 3, y + 1), uint32_t(y + 1));
  pb.copyRect(pb.getRect(), Point(0, 1));
  uint32_t rows[] = {1, 1, 2, 3};
  for (int y = 0; y < 4; y++)
    EXPECT_EQ(pb.getPixel(Point(1, y)), rows[y]);
  // upwards and sideways with horizontal overlap
  for (int x = 0; x < 3; x++)
    pb.fillRect(Rect(x, 0, x + 1, 4), uint32_t(x + 1));
  pb.copyRect(pb.getRect(), Point(1, -1));
  EXPECT_EQ(pb.getPixel(Point(0, 0)), 1u); // outside the destination area
  EXPECT_EQ(pb.getPixel(Point(1, 0)), 1u);
  EXPECT_EQ(pb.getPixel(Point(2, 0)), 2u);
  EXPECT_EQ(pb.getPixel(Point(2, 3)), 3u); // the last row keeps its pixels
}

TEST(WritablePixelBuffer, MaskRectUsesDefaultStrideAndBitOffset) {
  ManagedPixelBuffer pb(PixelLayout::pal8, 12, 2);
  pb.fillRect(pb.getRect(), 0);
  // 12 pixels wide: 2 bytes per mask row
  uint8_t mask[] = {0x80, 0x10, 0x00, 0x01};
  pb.maskRect(Rect(0, 0, 12, 2), 5, mask);
  EXPECT_EQ(picture(pb, 5), "#..........#\n............\n");
  pb.fillRect(pb.getRect(), 0);
  pb.maskRect(Rect(0, 0, 12, 2), 5, mask, 2, 4);
  EXPECT_EQ(picture(pb, 5), ".......#....\n...........#\n");
  // clipped on the left: the mask is addressed as for the whole rectangle
  pb.fillRect(pb.getRect(), 0);
  uint8_t m2[] = {0xC0, 0x00, 0x30, 0x00};
  pb.maskRect(Rect(-1, 0, 11, 2), 5, m2);
  EXPECT_EQ(picture(pb, 5), "#...........\n.##.........\n");
}

// Rectangles, deltas and views at the ends of the int range are clipped like
// any other: no coordinate arithmetic may wrap.
TEST(WritablePixelBuffer, ExtremeCoordinatesClipWithoutOverflow) {
  // Each column holds its x + 1, so moved pixels show where they came from.
  static const char* const untouched = "1234\n1234\n1234\n";
  struct Case {
    const char* name;
    std::function<void(ManagedPixelBuffer&)> draw;
    const char* expected;
  } cases[] = {
      {"outline of an empty rectangle at the top-left end",
       [](ManagedPixelBuffer& pb) { pb.outlineRect(Rect(INT_MAX, INT_MAX, 0, 0), 9); }, untouched},
      {"outline of an empty rectangle at the bottom-right end",
       [](ManagedPixelBuffer& pb) { pb.outlineRect(Rect(0, 0, INT_MIN, INT_MIN), 9); }, untouched},
      {"outline reaching both ends",
       [](ManagedPixelBuffer& pb) { pb.outlineRect(Rect(INT_MIN, 1, INT_MAX, INT_MAX), 9); },
       "1234\n9999\n1234\n"},
      {"copy by the largest delta",
       [](ManagedPixelBuffer& pb) { pb.copyRect(pb.getRect(), Point(INT_MAX, INT_MAX)); },
       untouched},
      {"copy by the smallest delta",
       [](ManagedPixelBuffer& pb) { pb.copyRect(pb.getRect(), Point(INT_MIN, INT_MIN)); },
       untouched},
      {"copy in a view far along the int range",
       [](ManagedPixelBuffer& pb) {
         FullFramePixelBuffer view(pb, Rect(-2000000000, 0, 4, 3));
         ASSERT_EQ(view.getRect(), Rect(2000000000, 0, 2000000004, 3));
         view.copyRect(view.getRect(), Point(2000000000, 0));
         view.copyRect(view.getRect(), Point(1, 0));
       },
       "1123\n1123\n1123\n"},
      {"copy of the whole int plane",
       [](ManagedPixelBuffer& pb) {
         pb.copyRect(Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX), Point(1, 0));
       },
       "1123\n1123\n1123\n"},
      {"view whose top-left lies at the far end",
       [](ManagedPixelBuffer& pb) {
         FullFramePixelBuffer view(pb, Rect(INT_MIN, INT_MIN, 2, 2));
         EXPECT_TRUE(view.getRect().isEmpty());
         view.fillRect(Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX), 9);
       },
       untouched},
      {"view reaching to the far end",
       [](ManagedPixelBuffer& pb) {
         FullFramePixelBuffer view(pb, Rect(-1, 1, INT_MAX, INT_MAX));
         EXPECT_EQ(view.getRect(), Rect(1, 0, 5, 2));
         view.fillRect(Rect(INT_MIN, INT_MIN, INT_MAX, 1), 9);
       },
       "1234\n9999\n1234\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ManagedPixelBuffer pb(PixelLayout::pal8, 4, 3);
    for (int x = 0; x < 4; x++)
      pb.fillRect(Rect(x, 0, x + 1, 3), uint32_t(x + 1));
    c.draw(pb);
    std::string s;
    for (int y = 0; y < 3; y++, s += '\n')
      for (int x = 0; x < 4; x++)
        s += char('0' + pb.getPixel(Point(x, y)));
    EXPECT_EQ(s, c.expected);
  }
}

TEST(WritablePixelBuffer, XorTwiceRestores) {
  for (const PixelLayout* pf : layouts) {
    ManagedPixelBuffer pb(*pf, 5, 4);
    std::mt19937 rng(pf->bpp);
    for (int y = 0; y < 4; y++)
      for (int x = 0; x < 5; x++)
        pb.setPixel(Point(x, y), rng() & maskFor(pf->bpp));
    std::vector<uint32_t> before;
    for (int y = 0; y < 4; y++)
      for (int x = 0; x < 5; x++)
        before.push_back(pb.getPixel(Point(x, y)));
    uint32_t v = 0x5A5AA5A5 & maskFor(pf->bpp);
    pb.xorRect(Rect(1, 1, 9, 9), v);
    EXPECT_EQ(pb.getPixel(Point(2, 2)), before[2 * 5 + 2] ^ v);
    EXPECT_EQ(pb.getPixel(Point(0, 0)), before[0]);
    pb.xorRect(Rect(1, 1, 9, 9), v);
    for (int y = 0; y < 4; y++)
      for (int x = 0; x < 5; x++)
        EXPECT_EQ(pb.getPixel(Point(x, y)), before[size_t(y * 5 + x)]);
  }
}

// Fills of 16 and 32 bits go by runs of 8-byte stores, by whole-buffer runs
// where the rows follow each other without a gap, and by byte fills for
// values of one repeated byte: every start, length and value gives exactly
// the rectangle.
TEST(WritablePixelBuffer, FillRunsCoverExactlyTheRectangle) {
  const PixelLayout* pfs[] = {&PixelLayout::rgb565, &PixelLayout::argb32};
  for (const PixelLayout* pf : pfs)
    for (uint32_t v : {0x1234u, 0x1212u, 0xA1B2C3D4u, 0x77777777u, 0u})
      for (int x1 = 0; x1 < 6; x1++)
        for (int x2 : {x1 + 1, x1 + 3, x1 + 9, 23}) {
          v &= maskFor(pf->bpp);
          uint32_t background = ~v & maskFor(pf->bpp);
          ManagedPixelBuffer pb(*pf, 23, 5); // no gap between rows
          pb.fillRect(pb.getRect(), background);
          Rect r(x1, 1, x2, 4);
          pb.fillRect(r, v);
          for (int y = 0; y < 5; y++)
            for (int x = 0; x < 23; x++)
              ASSERT_EQ(pb.getPixel(Point(x, y)), r.contains(Point(x, y)) ? v : background)
                  << int(pf->bpp) << " bpp, " << std::hex << v << std::dec << " from " << x1
                  << " to " << x2 << " at " << x << "," << y;
        }
}

// ---- pixel-by-pixel comparison with pixman on the same buffers ----

namespace {

// A writable pixel buffer over a pixman image's memory.
class PixmanBuffer : public FullFramePixelBuffer {
public:
  PixmanBuffer(const PixelLayout& pf, pixman_format_code_t code, int w, int h)
      : FullFramePixelBuffer(pf, w, h, nullptr) {
    int bytes = pf.bpp / 8;
    strideBytes_ = (w * bytes + 3) & ~3;
    while (strideBytes_ % bytes) // a whole number of pixels per row
      strideBytes_ += 4;
    bits_.assign(size_t(strideBytes_) * size_t(h) / 4 + 1, 0);
    image_ = pixman_image_create_bits(code, w, h, bits_.data(), strideBytes_);
    setBuffer(reinterpret_cast<uint8_t*>(bits_.data()), strideBytes_ / bytes);
  }
  ~PixmanBuffer() override { pixman_image_unref(image_); }
  pixman_image_t* image() { return image_; }
  uint32_t* bits() { return bits_.data(); }
  int strideWords() const { return strideBytes_ / 4; }
  int strideBytes() const { return strideBytes_; }
  uint8_t* row(int y) {
    return reinterpret_cast<uint8_t*>(bits_.data()) + size_t(y) * strideBytes_;
  }

private:
  std::vector<uint32_t> bits_;
  pixman_image_t* image_;
  int strideBytes_;
};

struct Format {
  PixelLayout pf;
  pixman_format_code_t code;
};

// The colour whose conversion into the format gives exactly the pixel v.
pixman_color_t colourOf(pixman_format_code_t code, uint32_t v) {
  auto expand = [](uint32_t c, int bits) {
    uint32_t x = c << (8 - bits);
    while (bits < 8) {
      x |= x >> bits;
      bits *= 2;
    }
    return uint16_t((x & 0xff) * 257);
  };
  switch (code) {
  case PIXMAN_r3g3b2:
    return {expand(v >> 5, 3), expand((v >> 2) & 7, 3), expand(v & 3, 2), 0xffff};
  case PIXMAN_r5g6b5:
    return {expand(v >> 11, 5), expand((v >> 5) & 63, 6), expand(v & 31, 5), 0xffff};
  default:
    return {uint16_t(((v >> 16) & 0xff) * 257), uint16_t(((v >> 8) & 0xff) * 257),
            uint16_t((v & 0xff) * 257), uint16_t(((v >> 24) & 0xff) * 257)};
  }
}

::testing::AssertionResult samePixels(PixmanBuffer& a, PixmanBuffer& b) {
  size_t rowBytes = size_t(a.width()) * size_t(a.bytesPerPixel());
  for (int y = 0; y < a.height(); y++)
    if (memcmp(a.row(y), b.row(y), rowBytes) != 0)
      return ::testing::AssertionFailure() << "row " << y << " differs";
  return ::testing::AssertionSuccess();
}

} // namespace

TEST(WritablePixelBuffer, MatchesPixmanPixelByPixel) {
  const Format formats[] = {
      {PixelLayout(8, 8, false, true, 7, 7, 3, 5, 2, 0), PIXMAN_r3g3b2},
      {PixelLayout::rgb565, PIXMAN_r5g6b5},
      {PixelLayout(24, 24, false, true, 255, 255, 255, 16, 8, 0), PIXMAN_r8g8b8},
      {PixelLayout::argb32, PIXMAN_a8r8g8b8},
  };
  const int W = 37, H = 23;
  for (const Format& f : formats) {
    SCOPED_TRACE(int(f.pf.bpp));
    std::mt19937 rng(f.pf.bpp * 7919);
    PixmanBuffer ours(f.pf, f.code, W, H), ref(f.pf, f.code, W, H), source(f.pf, f.code, W, H),
        snapshot(f.pf, f.code, W, H);
    for (int y = 0; y < H; y++)
      for (int x = 0; x < W * f.pf.bpp / 8; x++) {
        uint8_t v = uint8_t(rng());
        ours.row(y)[x] = ref.row(y)[x] = v;
        source.row(y)[x] = uint8_t(rng());
      }
    auto randomRect = [&]() {
      int x = int(rng() % (W + 20)) - 10, y = int(rng() % (H + 20)) - 10;
      return Rect(x, y, x + int(rng() % 30), y + int(rng() % 20));
    };
    uint32_t opaque = f.pf.bpp == 32 ? 0xff000000u : 0;
    for (int op = 0; op < 400; op++) {
      Rect r = randomRect();
      Rect k = r.intersect(ours.getRect());
      uint32_t v = (rng() & maskFor(f.pf.bpp)) | opaque;
      int kind = int(rng() % 4);
      if (kind == 0) {
        ours.fillRect(r, v);
        if (!k.isEmpty()) {
          if (f.pf.bpp == 24) {
            pixman_color_t c = colourOf(f.code, v | 0xff000000u);
            pixman_rectangle16_t pr = {int16_t(k.tl.x), int16_t(k.tl.y), uint16_t(k.width()),
                                       uint16_t(k.height())};
            pixman_image_fill_rectangles(PIXMAN_OP_SRC, ref.image(), &c, 1, &pr);
          } else {
            ASSERT_TRUE(pixman_fill(ref.bits(), ref.strideWords(), f.pf.bpp, k.tl.x, k.tl.y,
                                    k.width(), k.height(), v));
          }
        }
      } else if (kind == 1) {
        // copy within the buffer, overlapping or not, from the old contents
        Point delta(int(rng() % 21) - 10, int(rng() % 21) - 10);
        ours.copyRect(r, delta);
        Rect area = k.intersect(ref.getRect().translate(delta));
        memcpy(snapshot.bits(), ref.bits(), size_t(ref.strideBytes()) * H);
        if (!area.isEmpty())
          pixman_image_composite32(PIXMAN_OP_SRC, snapshot.image(), nullptr, ref.image(),
                                   area.tl.x - delta.x, area.tl.y - delta.y, 0, 0, area.tl.x,
                                   area.tl.y, area.width(), area.height());
      } else if (kind == 2) {
        // the source rows are source's rows, addressed for the whole r
        int stride = source.getStride();
        Rect within(0, 0, std::min(r.width(), W), std::min(r.height(), H));
        Rect rr = Rect::at(r.tl, within.width(), within.height());
        Rect kk = rr.intersect(ours.getRect());
        ours.imageRect(rr, source.row(0), stride);
        if (!kk.isEmpty())
          pixman_image_composite32(PIXMAN_OP_SRC, source.image(), nullptr, ref.image(),
                                   kk.tl.x - rr.tl.x, kk.tl.y - rr.tl.y, 0, 0, kk.tl.x, kk.tl.y,
                                   kk.width(), kk.height());
      } else {
        int mw = std::max(r.width(), 1), mh = std::max(r.height(), 1);
        int mstride = (mw + 7) / 8 + int(rng() % 3);
        int offset = int(rng() % 8);
        std::vector<uint8_t> mask(size_t(mstride) * size_t(mh) + 2);
        for (uint8_t& m : mask)
          m = uint8_t(rng());
        ours.maskRect(r, v, mask.data(), mstride, offset);
        if (!k.isEmpty()) {
          // the same bits as a pixman a1 image over r (pixman's bit order)
          int aStride = ((mw + 31) / 32) * 4;
          std::vector<uint32_t> a1(size_t(aStride / 4) * size_t(mh), 0);
          for (int y = 0; y < mh; y++)
            for (int x = 0; x < mw; x++) {
              int bit = offset + x;
              if (mask[size_t(y * mstride + bit / 8)] & (0x80 >> (bit % 8)))
                a1[size_t(y * aStride / 4 + x / 32)] |= 1u << (x % 32);
            }
          pixman_image_t* mimg = pixman_image_create_bits(PIXMAN_a1, mw, mh, a1.data(), aStride);
          pixman_color_t c = colourOf(f.code, v | 0xff000000u);
          pixman_image_t* solid = pixman_image_create_solid_fill(&c);
          pixman_image_composite32(PIXMAN_OP_OVER, solid, mimg, ref.image(), 0, 0, k.tl.x - r.tl.x,
                                   k.tl.y - r.tl.y, k.tl.x, k.tl.y, k.width(), k.height());
          pixman_image_unref(solid);
          pixman_image_unref(mimg);
        }
      }
      ASSERT_TRUE(samePixels(ours, ref)) << "operation " << op << " kind " << kind;
    }
  }
}

// The edge cases of the copy, mask and image operations at every depth,
// including 24-bit and big-endian layouts.
TEST(WritablePixelBuffer, CopyMaskAndImageAtEveryDepth) {
  for (const PixelLayout* pf : layouts) {
    SCOPED_TRACE(int(pf->bpp));
    uint32_t m = maskFor(pf->bpp);
    uint32_t v = 0x89ABCDEF & m;
    ManagedPixelBuffer pb(*pf, 5, 3);
    pb.fillRect(pb.getRect(), 0);
    pb.fillRect(Rect(0, 0, 2, 1), v);
    // overlapping copy to the right within the row
    pb.copyRect(Rect(1, 0, 5, 1), Point(1, 0));
    EXPECT_EQ(picture(pb, v), "###..\n.....\n.....\n");
    // downwards: copied bottom to top, so the row is not smeared down twice
    pb.copyRect(pb.getRect(), Point(0, 1));
    EXPECT_EQ(picture(pb, v), "###..\n###..\n.....\n");
    // a 12-bit-wide mask rectangle uses 2 bytes per row by default
    pb.fillRect(pb.getRect(), 0);
    uint8_t mask[] = {0xA0, 0x00, 0x50, 0x00, 0xF8, 0x00};
    pb.maskRect(Rect(0, 0, 12, 3), v, mask);
    EXPECT_EQ(picture(pb, v), "#.#..\n.#.#.\n#####\n");
    // image rows of a wider source, clipped on the left
    pb.fillRect(pb.getRect(), 0);
    std::vector<uint8_t> src(size_t(7 * 3 * (pf->bpp / 8)), 0);
    ManagedPixelBuffer srcBuf(*pf, 7, 3);
    srcBuf.fillRect(srcBuf.getRect(), 0);
    srcBuf.fillRect(Rect(2, 0, 4, 3), v);
    srcBuf.getImage(src.data(), srcBuf.getRect());
    pb.imageRect(Rect(-2, 0, 5, 3), src.data());
    EXPECT_EQ(picture(pb, v), "##...\n##...\n##...\n");
  }
}
