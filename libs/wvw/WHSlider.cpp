#include "wvw/WHSlider.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WHSlider");

namespace wvw {

WHSlider::WHSlider() : minimum_(0) {
}

WHSlider::~WHSlider() = default;

void WHSlider::setRange(int minimum, int maximum) {
  minimum_ = minimum;
  int d = int(std::clamp<int64_t>(int64_t(maximum) - minimum, 0, INT32_MAX));
  WSlider::setPageSize(getPage());
  setMaxPos(rfb::Point(d, 0));
}

void WHSlider::setValue(int value) {
  int v = int(std::clamp<int64_t>(int64_t(value) - minimum_, INT32_MIN, INT32_MAX));
  setPosition(rfb::Point(v, 0));
}

int WHSlider::getValue() {
  return getPosition().x + minimum_;
}

void WHSlider::setPageSize(int page) {
  WSlider::setPageSize(rfb::Point(page, 0));
}

} // namespace wvw
