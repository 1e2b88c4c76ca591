#include "wvw/WVSlider.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WVSlider");

namespace wvw {

WVSlider::WVSlider() : minimum_(0) {
}

WVSlider::~WVSlider() = default;

void WVSlider::setRange(int minimum, int maximum) {
  minimum_ = minimum;
  int d = int(std::clamp<int64_t>(int64_t(maximum) - minimum, 0, INT32_MAX));
  WSlider::setPageSize(getPage());
  setMaxPos(rfb::Point(0, d));
}

void WVSlider::setValue(int value) {
  int v = int(std::clamp<int64_t>(int64_t(value) - minimum_, INT32_MIN, INT32_MAX));
  setPosition(rfb::Point(0, v));
}

int WVSlider::getValue() {
  return getPosition().y + minimum_;
}

void WVSlider::setPageSize(int page) {
  WSlider::setPageSize(rfb::Point(0, page));
}

} // namespace wvw
