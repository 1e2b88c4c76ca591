// A push button drawn as a raised (or, while pressed, sunken) 2-pixel bevel
// inside a 1-pixel focus ring; the content fills the rest, 3 pixels in.
#pragma once

#include "wvw/WButton.h"

namespace wvw {

class WBevelButton : public WButton {
public:
  WBevelButton();
  ~WBevelButton() override;

  bool onFocusChange(bool reverse, Widget* source) override;
  bool onChange(Widget* source) override;
  bool onSizeChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  // The content's preferred size plus 6 each way; 6 x 6 without content.
  void getPreferredSize(int* width, int* height) override;
  void setContent(Widget* content) override;

private:
  void placeContent();
};

} // namespace wvw
