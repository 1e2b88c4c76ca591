// A layout inside a raised or sunken 2-pixel bevel, on the style's
// background; menus and list focus frames derive from it.
#pragma once

#include "wvw/WLayout.h"

namespace wvw {

class WFrame : public WLayout {
public:
  explicit WFrame(bool sunken);
  ~WFrame() override;

  void draw(rfb::WritablePixelBuffer* pb) override;
  // What the children need plus 4 each way.
  void getPreferredSize(int* width, int* height) override;
  // Moves the children 3 pixels in from the frame and sizes it to them.
  virtual void fit();

  bool isSunken() const { return sunken_; }

private:
  bool sunken_;
};

} // namespace wvw
