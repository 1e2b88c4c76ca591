// A progress bar (a member) inside a sunken 2-pixel bevel.
#pragma once

#include "wvw/WLayout.h"
#include "wvw/WProgressBar.h"

namespace wvw {

class WBevelledProgressBar : public WLayout {
public:
  explicit WBevelledProgressBar(uint32_t total);
  ~WBevelledProgressBar() override;

  bool onSizeChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  // 6 x 6.
  void getPreferredSize(int* width, int* height) override;

  WProgressBar* getBar() { return &bar_; }

private:
  WProgressBar bar_;
};

} // namespace wvw
