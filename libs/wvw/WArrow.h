// A filled triangle pointing left, right, up or down, drawn in the text
// colour on the background within a centred square less a margin.
#pragma once

#include "wvw/Widget.h"

namespace wvw {

class WArrow : public Widget {
public:
  enum Direction { Left = 0, Right = 1, Up = 2, Down = 3 };

  explicit WArrow(int direction);
  ~WArrow() override;

  bool onEnabledChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  void getPreferredSize(int* width, int* height) override;
  bool acceptsFocus() override { return false; }

  virtual void setMargin(int margin);
  int getDirection() const { return direction_; }

private:
  int direction_;
  int margin_;
};

} // namespace wvw
