// A horizontal progress indicator: the part done (value of total) in the
// text colour, the rest in the background.
#pragma once

#include "wvw/Widget.h"

namespace wvw {

class WProgressBar : public Widget {
public:
  explicit WProgressBar(uint32_t total);
  ~WProgressBar() override;

  void draw(rfb::WritablePixelBuffer* pb) override;
  // 0 x 0: the bar takes the size it is given.
  void getPreferredSize(int* width, int* height) override;
  bool acceptsFocus() override { return false; }

  // A total of 0xFFFFFFFF keeps the total as it is. Repaints and sends
  // onChange.
  virtual void setProgress(uint32_t value, uint32_t total = 0xFFFFFFFF);

  uint32_t getValue() const { return value_; }
  uint32_t getTotal() const { return total_; }
  // The width of the part done: none for a total of 0, all of it for a
  // value beyond the total.
  int doneWidth() const;

private:
  uint32_t value_;
  uint32_t total_;
};

} // namespace wvw
