#include "wvw/WSlider.h"

#include "wvw/Style.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WSlider");

namespace wvw {

namespace {
const int minThumb = 8;

// The page's share of a track of the given length, to the nearest pixel,
// at least minThumb and at most the track.
int thumbLength(int page, int maxPos, int track) {
  int64_t total = int64_t(page) + maxPos;
  int64_t t = (total / 2 + int64_t(page) * track) / total;
  t = std::max<int64_t>(t, minThumb);
  return int(std::min<int64_t>(t, track));
}

int offsetOf(int pos, int maxPos, int room) {
  if (maxPos == 0)
    return 0;
  return int((int64_t(maxPos) / 2 + int64_t(pos) * room) / maxPos);
}

int positionAt(int t, int maxPos, int room) {
  if (room == 0)
    return 0;
  int64_t p = (int64_t(room) / 2 + int64_t(t) * maxPos) / room;
  return int(std::clamp<int64_t>(p, INT32_MIN, INT32_MAX));
}
} // namespace

WSlider::WSlider() : dragging_(false) {
  setPageSize(rfb::Point(1, 1));
}

WSlider::~WSlider() = default;

void WSlider::setPosition(const rfb::Point& pos) {
  rfb::Point p(std::clamp(pos.x, 0, maxPos_.x), std::clamp(pos.y, 0, maxPos_.y));
  if (p == pos_)
    return;
  pos_ = p;
  onChange(this);
}

void WSlider::setMaxPos(const rfb::Point& maxPos) {
  maxPos_ = rfb::Point(std::max(maxPos.x, 0), std::max(maxPos.y, 0));
  setPageSize(page_);
  setPosition(pos_);
}

void WSlider::setPageSize(const rfb::Point& page) {
  page_ = rfb::Point(std::max(page.x, 1), std::max(page.y, 1));
  thumbSize_ =
      rfb::Point(thumbLength(page_.x, maxPos_.x, width_), thumbLength(page_.y, maxPos_.y, height_));
  invalidate();
}

rfb::Point WSlider::thumbOffset() const {
  return rfb::Point(offsetOf(pos_.x, maxPos_.x, width_ - thumbSize_.x),
                    offsetOf(pos_.y, maxPos_.y, height_ - thumbSize_.y));
}

rfb::Rect WSlider::thumbRect() const {
  return rfb::Rect::at(thumbOffset(), thumbSize_.x, thumbSize_.y);
}

void WSlider::getPreferredSize(int* width, int* height) {
  *width = 1;
  *height = 1;
}

bool WSlider::onSizeChange(Widget* source) {
  if (source == this)
    setPageSize(page_);
  return Widget::onSizeChange(source);
}

bool WSlider::onButtonPress(int button, Widget* source) {
  if (source == this && button == 0) {
    rfb::Rect thumb = thumbRect();
    if (thumb.contains(lastPointer_)) {
      dragging_ = true;
      dragOffset_ = lastPointer_.subtract(thumb.tl);
      invalidate();
    } else {
      auto step = [](int p, int lo, int hi) { return p >= hi ? 1 : p < lo ? -1 : 0; };
      AliveCheck alive(this);
      setPosition(rfb::Point(pos_.x + step(lastPointer_.x, thumb.tl.x, thumb.br.x),
                             pos_.y + step(lastPointer_.y, thumb.tl.y, thumb.br.y)));
      if (alive.gone())
        return true;
    }
  }
  return Widget::onButtonPress(button, source);
}

bool WSlider::onPointerMove(const rfb::Point& pos, Widget* source) {
  if (source == this && dragging_) {
    rfb::Point t = pos.subtract(dragOffset_);
    AliveCheck alive(this);
    setPosition(rfb::Point(positionAt(t.x, maxPos_.x, width_ - thumbSize_.x),
                           positionAt(t.y, maxPos_.y, height_ - thumbSize_.y)));
    if (alive.gone())
      return true;
  }
  return Widget::onPointerMove(pos, source);
}

bool WSlider::onButtonRelease(int button, Widget* source) {
  if (source == this && button == 0 && dragging_) {
    dragging_ = false;
    invalidate();
  }
  return Widget::onButtonRelease(button, source);
}

bool WSlider::onPointerLeave(Widget* source) {
  if (source == this && dragging_) {
    dragging_ = false;
    invalidate();
  }
  return Widget::onPointerLeave(source);
}

bool WSlider::onChange(Widget* source) {
  if (source == this)
    invalidate();
  return Widget::onChange(source);
}

void WSlider::draw(rfb::WritablePixelBuffer* pb) {
  pb->fillRect(rfb::Rect(0, 0, width_, height_), colourToPixel(BevelBgDark, pb));
  rfb::Rect thumb = thumbRect();
  pb->fillRect(thumb, colourToPixel(getStyle()->background, pb));
  drawBevel(pb, thumb, dragging_, false);
}

} // namespace wvw
