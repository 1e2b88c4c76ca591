#include "wvw/WAxisSlider.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WAxisSlider");

namespace wvw {

WAxisSlider::WAxisSlider(Orientation orientation) : orientation_(orientation), minimum_(0) {
}

WAxisSlider::~WAxisSlider() = default;

void WAxisSlider::setRange(int minimum, int maximum) {
  minimum_ = minimum;
  int d = int(std::clamp<int64_t>(int64_t(maximum) - minimum, 0, INT32_MAX));
  WSlider::setPageSize(getPage());
  setMaxPos(pointAlong(orientation_, d, 0));
}

void WAxisSlider::setValue(int value) {
  int v = int(std::clamp<int64_t>(int64_t(value) - minimum_, INT32_MIN, INT32_MAX));
  setPosition(pointAlong(orientation_, v, 0));
}

int WAxisSlider::getValue() {
  return along(orientation_, getPosition()) + minimum_;
}

void WAxisSlider::setPageSize(int page) {
  WSlider::setPageSize(pointAlong(orientation_, page, 0));
}

} // namespace wvw
