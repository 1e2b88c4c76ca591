// A widget that shows a one-bit bitmap in the style's text colour (the
// disabled text colour when disabled), centred, on the style's background.
// Used for the small arrows of scroll bars, title-bar buttons and menus. The
// bitmap is not owned: rows of (width + 7) / 8 bytes, most significant bit
// leftmost, that outlive the widget (usually static data).
#pragma once

#include "wvw/Widget.h"

namespace wvw {

class WIcon : public Widget {
public:
  WIcon(const uint8_t* bitmap, int width, int height);

  // Paints the bitmap's rectangle only; around it the parent's background
  // shows.
  void draw(rfb::WritablePixelBuffer* pb) override;
  void getPreferredSize(int* width, int* height) override;
  bool acceptsFocus() override { return false; }
  bool onEnabledChange(Widget* source) override;

  const uint8_t* bitmap() const { return bitmap_; }
  int bitmapWidth() const { return bitmapWidth_; }
  int bitmapHeight() const { return bitmapHeight_; }

private:
  const uint8_t* bitmap_;
  int bitmapWidth_;
  int bitmapHeight_;
};

} // namespace wvw
