// Region algebra, fills and copies of rfb against pixman, and fills and
// copies against memset/memcpy on the same buffer (the physical limit).
#include "rfb/ManagedPixelBuffer.h"
#include "rfb/RectSet.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <random>
#include <vector>

using rfb::Point;
using rfb::Rect;
using rfb::RectSet;

// Damage rectangles as a desktop produces them: small, scattered over a
// 1920 x 1080 screen, many overlapping.
static std::vector<Rect> damage(int n) {
  std::mt19937 rng(4242);
  std::vector<Rect> rects;
  for (int i = 0; i < n; i++) {
    int x = int(rng() % 1900), y = int(rng() % 1060);
    rects.emplace_back(x, y, x + 1 + int(rng() % 64), y + 1 + int(rng() % 32));
  }
  return rects;
}

static void BM_RectSetUnion(benchmark::State& state) {
  std::vector<Rect> rects = damage(int(state.range(0)));
  for (auto _ : state) {
    RectSet s;
    for (const Rect& r : rects)
      s.setUnion(s, RectSet(r));
    benchmark::DoNotOptimize(s.numRects());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RectSetUnion)->Arg(1000)->Arg(10000);

static void BM_PixmanUnion(benchmark::State& state) {
  std::vector<Rect> rects = damage(int(state.range(0)));
  for (auto _ : state) {
    pixman_region16_t s;
    pixman_region_init(&s);
    for (const Rect& r : rects)
      pixman_region_union_rect(&s, &s, r.tl.x, r.tl.y, unsigned(r.width()), unsigned(r.height()));
    benchmark::DoNotOptimize(pixman_region_n_rects(&s));
    pixman_region_fini(&s);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PixmanUnion)->Arg(1000)->Arg(10000);

// A region from a whole list of damage rectangles at once.
static void BM_RectSetFromRects(benchmark::State& state) {
  std::vector<Rect> rects = damage(int(state.range(0)));
  for (auto _ : state) {
    RectSet s;
    s.fromRects(rects);
    benchmark::DoNotOptimize(s.numRects());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RectSetFromRects)->Arg(1000)->Arg(10000);

static void BM_PixmanInitRects(benchmark::State& state) {
  std::vector<Rect> rects = damage(int(state.range(0)));
  std::vector<pixman_box16_t> boxes;
  for (const Rect& r : rects)
    boxes.push_back({int16_t(r.tl.x), int16_t(r.tl.y), int16_t(r.br.x), int16_t(r.br.y)});
  for (auto _ : state) {
    pixman_region16_t s;
    pixman_region_init_rects(&s, boxes.data(), int(boxes.size()));
    benchmark::DoNotOptimize(pixman_region_n_rects(&s));
    pixman_region_fini(&s);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PixmanInitRects)->Arg(1000)->Arg(10000);

static void BM_RectSetSubtract(benchmark::State& state) {
  std::vector<Rect> rects = damage(int(state.range(0)));
  for (auto _ : state) {
    RectSet s(Rect(0, 0, 1920, 1080));
    for (const Rect& r : rects)
      s.setSubtract(s, RectSet(r));
    benchmark::DoNotOptimize(s.numRects());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RectSetSubtract)->Arg(1000)->Arg(10000);

static void BM_PixmanSubtract(benchmark::State& state) {
  std::vector<Rect> rects = damage(int(state.range(0)));
  for (auto _ : state) {
    pixman_region16_t s, one;
    pixman_region_init_rect(&s, 0, 0, 1920, 1080);
    for (const Rect& r : rects) {
      pixman_region_init_rect(&one, r.tl.x, r.tl.y, unsigned(r.width()), unsigned(r.height()));
      pixman_region_subtract(&s, &s, &one);
      pixman_region_fini(&one);
    }
    benchmark::DoNotOptimize(pixman_region_n_rects(&s));
    pixman_region_fini(&s);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PixmanSubtract)->Arg(1000)->Arg(10000);

// Fills and copies on a 1920 x 1080 buffer at 32 bpp (Arg 32) or 16 bpp.
static const int W = 1920, H = 1080;

static const rfb::PixelLayout& layoutFor(int bpp) {
  return bpp == 32 ? rfb::PixelLayout::xrgb32LittleEndian : rfb::PixelLayout::rgb565;
}

static void BM_FillRect(benchmark::State& state) {
  int bpp = int(state.range(0));
  rfb::ManagedPixelBuffer pb(layoutFor(bpp), W, H);
  for (auto _ : state) {
    pb.fillRect(pb.getRect(), 0x123456);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(W) * H * bpp / 8);
}
BENCHMARK(BM_FillRect)->Arg(16)->Arg(32);

static void BM_PixmanFill(benchmark::State& state) {
  int bpp = int(state.range(0));
  rfb::ManagedPixelBuffer pb(layoutFor(bpp), W, H);
  int stride;
  uint32_t* bits = reinterpret_cast<uint32_t*>(pb.getDataRW(pb.getRect(), &stride));
  for (auto _ : state) {
    pixman_fill(bits, W * bpp / 32, bpp, 0, 0, W, H, 0x123456);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(W) * H * bpp / 8);
}
BENCHMARK(BM_PixmanFill)->Arg(16)->Arg(32);

static void BM_Memset(benchmark::State& state) {
  int bpp = int(state.range(0));
  rfb::ManagedPixelBuffer pb(layoutFor(bpp), W, H);
  int stride;
  uint8_t* bits = pb.getDataRW(pb.getRect(), &stride);
  for (auto _ : state) {
    memset(bits, 0x12, size_t(W) * H * bpp / 8);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(W) * H * bpp / 8);
}
BENCHMARK(BM_Memset)->Arg(16)->Arg(32);

// Scrolling: the whole screen moved up by 16 rows.
static void BM_CopyRect(benchmark::State& state) {
  int bpp = int(state.range(0));
  rfb::ManagedPixelBuffer pb(layoutFor(bpp), W, H);
  pb.fillRect(pb.getRect(), 0);
  for (auto _ : state) {
    pb.copyRect(pb.getRect(), Point(0, -16));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(W) * (H - 16) * bpp / 8);
}
BENCHMARK(BM_CopyRect)->Arg(16)->Arg(32);

static void BM_PixmanBlt(benchmark::State& state) {
  int bpp = int(state.range(0));
  rfb::ManagedPixelBuffer pb(layoutFor(bpp), W, H);
  pb.fillRect(pb.getRect(), 0);
  int stride;
  uint32_t* bits = reinterpret_cast<uint32_t*>(pb.getDataRW(pb.getRect(), &stride));
  for (auto _ : state) {
    pixman_blt(bits, bits, W * bpp / 32, W * bpp / 32, bpp, bpp, 0, 16, 0, 0, W, H - 16);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(W) * (H - 16) * bpp / 8);
}
BENCHMARK(BM_PixmanBlt)->Arg(16)->Arg(32);

static void BM_Memmove(benchmark::State& state) {
  int bpp = int(state.range(0));
  rfb::ManagedPixelBuffer pb(layoutFor(bpp), W, H);
  pb.fillRect(pb.getRect(), 0);
  int stride;
  uint8_t* bits = pb.getDataRW(pb.getRect(), &stride);
  size_t row = size_t(W) * bpp / 8;
  for (auto _ : state) {
    memmove(bits, bits + 16 * row, row * (H - 16));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(W) * (H - 16) * bpp / 8);
}
BENCHMARK(BM_Memmove)->Arg(16)->Arg(32);
