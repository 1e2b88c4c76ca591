#include "wvw/WProgressBar.h"

#include "wvw/Style.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WProgressBar");

namespace wvw {

WProgressBar::WProgressBar(uint32_t total) : value_(0), total_(total) {
}

WProgressBar::~WProgressBar() = default;

void WProgressBar::setProgress(uint32_t value, uint32_t total) {
  value_ = value;
  if (total != 0xFFFFFFFF)
    total_ = total;
  invalidate();
  onChange(this);
}

// Sizes of many gigabytes count in bytes here, so the product is taken in
// 64 bits; a total of 0 has nothing done yet.
int WProgressBar::doneWidth() const {
  if (total_ == 0 || width_ <= 0)
    return 0;
  uint64_t split = uint64_t(uint32_t(width_)) * value_ / total_;
  return int(std::min<uint64_t>(split, uint64_t(width_)));
}

void WProgressBar::getPreferredSize(int* width, int* height) {
  *width = 0;
  *height = 0;
}

void WProgressBar::draw(rfb::WritablePixelBuffer* pb) {
  Style* s = getStyle();
  int split = doneWidth();
  pb->fillRect(rfb::Rect(0, 0, split, height_),
               colourToPixel(enabled_ ? s->textColour : s->disabledTextColour, pb));
  pb->fillRect(rfb::Rect(split, 0, width_, height_), colourToPixel(s->background, pb));
}

} // namespace wvw
