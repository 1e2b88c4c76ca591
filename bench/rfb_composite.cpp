// Source-over of ARGB32 onto XRGB32 and the translation of 32-bit pixels to
// 16 and 8 bits, against pixman doing the same work on the same buffers.
#include "rfb/ColourCube.h"
#include "rfb/Composite.h"
#include "rfb/ManagedPixelBuffer.h"
#include "rfb/TransPixelBuffer.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <random>
#include <vector>

using rfb::ManagedPixelBuffer;
using rfb::PixelLayout;
using rfb::Point;
using rfb::Rect;

namespace {

const int W = 512, H = 512;

// Premultiplied pixels as icons have them: a third clear, a third opaque,
// the rest at random alpha.
void fillArgb(ManagedPixelBuffer& pb) {
  std::mt19937 rng(122);
  int stride;
  uint32_t* p = reinterpret_cast<uint32_t*>(pb.getDataRW(pb.getRect(), &stride));
  for (int i = 0; i < W * H; i++) {
    uint32_t kind = rng() % 3;
    uint32_t a = kind == 0 ? 0 : kind == 1 ? 255 : rng() % 256;
    uint32_t r = rng() % (a + 1), g = rng() % (a + 1), b = rng() % (a + 1);
    p[i] = a << 24 | r << 16 | g << 8 | b;
  }
}

void fillRandom(ManagedPixelBuffer& pb) {
  std::mt19937 rng(121);
  int stride;
  uint32_t* p = reinterpret_cast<uint32_t*>(pb.getDataRW(pb.getRect(), &stride));
  for (int i = 0; i < W * H; i++)
    p[i] = rng() & 0xffffff;
}

pixman_image_t* wrap(ManagedPixelBuffer& pb, pixman_format_code_t format) {
  int stride;
  uint8_t* data = pb.getDataRW(pb.getRect(), &stride);
  return pixman_image_create_bits(format, pb.width(), pb.height(),
                                  reinterpret_cast<uint32_t*>(data), stride * pb.bytesPerPixel());
}

void BM_OverArgbOntoXrgb(benchmark::State& state) {
  ManagedPixelBuffer src(PixelLayout::argb32, W, H), dest(PixelLayout::xrgb32LittleEndian, W, H);
  fillArgb(src);
  fillRandom(dest);
  for (auto _ : state) {
    rfb::compositeRect(&src, Point(0, 0), &dest, dest.getRect(), rfb::compositeOver);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * W * H);
}
BENCHMARK(BM_OverArgbOntoXrgb);

void BM_PixmanOverArgbOntoXrgb(benchmark::State& state) {
  ManagedPixelBuffer src(PixelLayout::argb32, W, H), dest(PixelLayout::xrgb32LittleEndian, W, H);
  fillArgb(src);
  fillRandom(dest);
  pixman_image_t* s = wrap(src, PIXMAN_a8r8g8b8);
  pixman_image_t* d = wrap(dest, PIXMAN_x8r8g8b8);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, W, H);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(s);
  pixman_image_unref(d);
  state.SetItemsProcessed(state.iterations() * W * H);
}
BENCHMARK(BM_PixmanOverArgbOntoXrgb);

void translate(benchmark::State& state, const PixelLayout& out, rfb::ColourMap* cube) {
  ManagedPixelBuffer src(PixelLayout::xrgb32LittleEndian, W, H), dest(out, W, H);
  fillRandom(src);
  rfb::TransPixelBuffer t;
  t.setSource(&src);
  t.setPF(out);
  t.setColourCube(cube);
  int stride;
  uint8_t* d = dest.getDataRW(dest.getRect(), &stride);
  for (auto _ : state) {
    t.getImage(d, src.getRect(), stride);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * W * H);
}

void pixmanTranslate(benchmark::State& state, const PixelLayout& out, pixman_format_code_t format,
                     const pixman_indexed_t* indexed) {
  ManagedPixelBuffer src(PixelLayout::xrgb32LittleEndian, W, H), dest(out, W, H);
  fillRandom(src);
  pixman_image_t* s = wrap(src, PIXMAN_x8r8g8b8);
  pixman_image_t* d = wrap(dest, format);
  if (indexed)
    pixman_image_set_indexed(d, indexed);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, W, H);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(s);
  pixman_image_unref(d);
  state.SetItemsProcessed(state.iterations() * W * H);
}

void BM_Translate32To16(benchmark::State& state) {
  translate(state, PixelLayout::rgb565, nullptr);
}
BENCHMARK(BM_Translate32To16);

void BM_PixmanTranslate32To16(benchmark::State& state) {
  pixmanTranslate(state, PixelLayout::rgb565, PIXMAN_r5g6b5, nullptr);
}
BENCHMARK(BM_PixmanTranslate32To16);

// 8-bit true colour: blue in the top two bits, then green, then red.
const PixelLayout bgr233;

void BM_Translate32To8TrueColour(benchmark::State& state) {
  translate(state, bgr233, nullptr);
}
BENCHMARK(BM_Translate32To8TrueColour);

void BM_PixmanTranslate32To8TrueColour(benchmark::State& state) {
  pixmanTranslate(state, bgr233, PIXMAN_b2g3r3, nullptr);
}
BENCHMARK(BM_PixmanTranslate32To8TrueColour);

// 8-bit pseudo-colour through a 6 x 6 x 6 colour cube.
void BM_Translate32To8ColourCube(benchmark::State& state) {
  rfb::ColourCube cube(6, 6, 6);
  translate(state, PixelLayout::pal8, &cube);
}
BENCHMARK(BM_Translate32To8ColourCube);

// 16-bit pseudo-colour through the same cube, in native and in big-endian
// byte order (the sum of the channel entries swapped per pixel).
void BM_Translate32To16ColourCube(benchmark::State& state) {
  rfb::ColourCube cube(6, 6, 6);
  translate(state, PixelLayout(16, 8, false, false, 0, 0, 0, 0, 0, 0), &cube);
}
BENCHMARK(BM_Translate32To16ColourCube);

void BM_Translate32To16BigEndianColourCube(benchmark::State& state) {
  rfb::ColourCube cube(6, 6, 6);
  translate(state, PixelLayout(16, 8, true, false, 0, 0, 0, 0, 0, 0), &cube);
}
BENCHMARK(BM_Translate32To16BigEndianColourCube);

void BM_PixmanTranslate32To8ColourCube(benchmark::State& state) {
  rfb::ColourCube cube(6, 6, 6);
  static pixman_indexed_t indexed;
  indexed.color = 1;
  for (int i = 0; i < 256; i++) {
    rfb::Colour c;
    cube.lookup(i, &c);
    indexed.rgba[i] = 0xff000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | uint32_t(c.b);
  }
  for (int i = 0; i < 32768; i++) {
    rfb::Colour c(((i >> 10) & 31) * 255 / 31, ((i >> 5) & 31) * 255 / 31, (i & 31) * 255 / 31);
    indexed.ent[i] = pixman_index_type(cube.lookupRGB(c));
  }
  pixmanTranslate(state, PixelLayout::pal8, PIXMAN_c8, &indexed);
}
BENCHMARK(BM_PixmanTranslate32To8ColourCube);

} // namespace
