// Small widgets for the toolkit's own tests.
#pragma once

#include "wvw/WLayout.h"
#include "wvw/Widget.h"

#include "rfb/WritablePixelBuffer.h"

// A plain rectangle of one colour that may refuse the focus.
class Patch : public wvw::Widget {
public:
  explicit Patch(rfb::Colour c = rfb::Colour(255, 0, 0), bool focusable = true)
      : colour(c), focusable_(focusable) {}
  void draw(rfb::WritablePixelBuffer* pb) override {
    draws++;
    pb->fillRect(rfb::Rect(0, 0, width(), height()), wvw::colourToPixel(colour, pb));
  }
  void getPreferredSize(int* w, int* h) override {
    *w = 10;
    *h = 10;
  }
  bool acceptsFocus() override { return focusable_ && Widget::acceptsFocus(); }
  void setFocusable(bool f) { focusable_ = f; }
  rfb::Colour colour;
  int draws = 0;

private:
  bool focusable_;
};
