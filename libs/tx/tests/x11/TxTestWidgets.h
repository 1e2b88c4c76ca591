// Small widgets for the X11 toolkit's tests: a patch of one colour, a board
// of patches, and a widget that records the input it is given.
#pragma once

#include "wvw/WLayout.h"
#include "wvw/Widget.h"

#include <X11/Xlib.h>

#include <string>
#include <vector>

class Patch : public wvw::Widget {
public:
  explicit Patch(rfb::Colour c = rfb::Colour(255, 0, 0)) : colour(c) {}
  void draw(rfb::WritablePixelBuffer* pb) override {
    draws++;
    pb->fillRect(rfb::Rect(0, 0, width(), height()), wvw::colourToPixel(colour, pb));
  }
  void getPreferredSize(int* w, int* h) override {
    *w = 10;
    *h = 10;
  }
  void pointerEvent(const rfb::Point& pos, int buttonMask) override {
    clicks += buttonMask != 0;
    wvw::Widget::pointerEvent(pos, buttonMask);
  }
  rfb::Colour colour;
  int draws = 0;
  int clicks = 0;
};

// A layout with a grey background and three patches: red at the left,
// green at the right, a striped blue one at the bottom.
class Board : public wvw::WLayout {
public:
  Board() : left(rfb::Colour(255, 0, 0)), right(rfb::Colour(0, 255, 0)) {
    addChildSized(&left, rfb::Rect(10, 10, 60, 40));
    addChildSized(&right, rfb::Rect(90, 10, 150, 40));
    addChildSized(&stripes, rfb::Rect(10, 50, 150, 80));
  }
  ~Board() override {
    removeChild(&stripes);
    removeChild(&right);
    removeChild(&left);
  }
  void draw(rfb::WritablePixelBuffer* pb) override {
    pb->fillRect(rfb::Rect(0, 0, width(), height()),
                 wvw::colourToPixel(rfb::Colour(187, 187, 187), pb));
    wvw::WLayout::draw(pb);
  }

  class Stripes : public wvw::Widget {
  public:
    void draw(rfb::WritablePixelBuffer* pb) override {
      for (int x = 0; x < width(); x++)
        pb->fillRect(rfb::Rect(x, 0, x + 1, height()),
                     wvw::colourToPixel(rfb::Colour(0, 0, x * 255 / width()), pb));
    }
    void getPreferredSize(int* w, int* h) override {
      *w = 10;
      *h = 10;
    }
  };

  Patch left, right;
  Stripes stripes;
};

// Records the masks of the pointer and the keys it is given ("+name" down,
// "-name" up); paints itself white.
class Recorder : public wvw::Widget {
public:
  void draw(rfb::WritablePixelBuffer* pb) override {
    draws++;
    pb->fillRect(rfb::Rect(0, 0, width(), height()), wvw::colourToPixel(White, pb));
  }
  void getPreferredSize(int* w, int* h) override {
    *w = 10;
    *h = 10;
  }
  void pointerEvent(const rfb::Point& pos, int buttonMask) override {
    if (masks.empty() || masks.back() != buttonMask)
      masks.push_back(buttonMask);
    lastPos = pos;
    pointer.push_back({pos, buttonMask});
  }
  void keyEvent(uint32_t keysym, bool down) override {
    const char* name = XKeysymToString(KeySym(keysym));
    keys.push_back((down ? "+" : "-") + std::string(name ? name : "?"));
  }
  std::vector<int> masks;
  // Every pointer event, in order.
  std::vector<std::pair<rfb::Point, int>> pointer;
  std::vector<std::string> keys;
  rfb::Point lastPos;
  int draws = 0;
};
