// A full repaint of a widget tree through a widget host window's
// shared-memory image (the tree draws into the image, one XShmPutImage, then
// a round trip) against the bare shared-memory put of the same size from the
// same image. Runs against the X display named by DISPLAY; bench/tx_repaint.sh
// starts a private Xvfb and sets x11perf -shmput500 beside it.
#include "tx/TXWParent.h"
#include "tx/TXWRootLayout.h"

#include "wvw/WLayout.h"

#include <benchmark/benchmark.h>

#include <X11/extensions/XShm.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// A coloured cell of the tree.
class Cell : public wvw::Widget {
public:
  explicit Cell(rfb::Colour c) : colour_(c) {}
  void draw(rfb::WritablePixelBuffer* pb) override {
    pb->fillRect(rfb::Rect(0, 0, width(), height()), wvw::colourToPixel(colour_, pb));
    drawBevel(pb, rfb::Rect(0, 0, width(), height()), false, false);
  }
  void getPreferredSize(int* w, int* h) override {
    *w = 40;
    *h = 20;
  }

private:
  rfb::Colour colour_;
};

// A background with a grid of bevelled cells, like a dialog full of buttons.
class Tree : public wvw::WLayout {
public:
  Tree(int width, int height) {
    for (int y = 4; y + 20 <= height; y += 24)
      for (int x = 4; x + 40 <= width; x += 44) {
        cells_.emplace_back(new Cell(rfb::Colour(x % 256, y % 256, (x + y) % 256)));
        addChildSized(cells_.back().get(), rfb::Rect(x, y, x + 40, y + 20));
      }
  }
  ~Tree() override {
    for (auto& c : cells_)
      removeChild(c.get());
  }
  void draw(rfb::WritablePixelBuffer* pb) override {
    pb->fillRect(rfb::Rect(0, 0, width(), height()),
                 wvw::colourToPixel(rfb::Colour(187, 187, 187), pb));
    wvw::WLayout::draw(pb);
  }

private:
  std::vector<std::unique_ptr<Cell>> cells_;
};

class Host : public TXWParent {
public:
  using TXWParent::TXWParent;
  void repaintAll() { paint(rfb::Rect(0, 0, width_, height_)); }
  GC gc() const { return gc_; }
};

struct World {
  Display* dpy = nullptr;
  World() {
    dpy = XOpenDisplay(nullptr);
    if (dpy)
      TXWindow::init(dpy, "Zavconfig");
  }
  ~World() {
    if (!dpy)
      return;
    TXWRootLayout::release(dpy);
    TXWindow::shutdown(dpy);
    XCloseDisplay(dpy);
  }
};

// Shows a tree of the size in a mapped host window.
template <typename Body> void withHost(benchmark::State& state, Body body) {
  World world;
  if (!world.dpy) {
    state.SkipWithError("no X display (run bench/tx_repaint.sh)");
    return;
  }
  int w = int(state.range(0)), h = int(state.range(1));
  Tree tree(w, h);
  {
    Host host(world.dpy, &tree);
    host.setContentSize(w, h);
    host.map();
    XSync(world.dpy, False);
    while (!host.getImage())
      TXWindow::handleXEvents(world.dpy);
    if (!host.getImage()->isShared())
      state.SkipWithError("no shared-memory image");
    else
      body(host);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * w * h);
}

void BM_FullRepaint(benchmark::State& state) {
  withHost(state, [&](Host& host) {
    for (auto _ : state) {
      host.repaintAll();
      XSync(host.display(), False);
    }
  });
}

// The drawing part of a repaint alone: the tree into the image.
void BM_DrawOnly(benchmark::State& state) {
  withHost(state, [&](Host& host) {
    TXImage* image = host.getImage();
    for (auto _ : state)
      host.getChild()->draw(image);
  });
}

void BM_BareShmPut(benchmark::State& state) {
  withHost(state, [&](Host& host) {
    TXImage* image = host.getImage();
    for (auto _ : state) {
      image->put(host.win(), host.gc(), image->getRect());
      XSync(host.display(), False);
    }
  });
}

} // namespace

BENCHMARK(BM_FullRepaint)->Args({640, 480})->Args({500, 500})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawOnly)->Args({640, 480})->Args({500, 500})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareShmPut)->Args({640, 480})->Args({500, 500})->Unit(benchmark::kMicrosecond);
