#include "ui/WHeader.h"

#include "wvw/Style.h"

#include <algorithm>

namespace ui {

WHeader::WHeader(const char* leftTitle, const char* rightTitle)
    : dividerPos_(0), partitionY_(1), partitionWidth_(0), partitionHeight_(0), dragging_(false),
      leftTitle_(leftTitle, 0), rightTitle_(rightTitle, 0) {
  int w, h;
  leftTitle_.getPreferredSize(&w, &h);
  leftTitle_.setSize(w, h);
  dividerPos_ = w;
  rightTitle_.getPreferredSize(&w, &h);
  rightTitle_.setSize(w, h);
  partition_.getPreferredSize(&partitionWidth_, &partitionHeight_);
  addChild(&partition_);
  addChild(&leftTitle_);
  addChild(&rightTitle_);
  layoutChildren();
}

WHeader::~WHeader() {
  removeChild(&rightTitle_);
  removeChild(&leftTitle_);
  removeChild(&partition_);
}

rfb::Rect WHeader::getDividerRect() const {
  return rfb::Rect(dividerPos_, 0, dividerPos_ + partitionWidth_, partitionHeight_);
}

void WHeader::layoutChildren() {
  int v = (height_ - 2 - leftTitle_.height()) / 2;
  if (v < 0)
    v = 0;
  partitionY_ = 1;
  int pw, ph;
  partition_.getPreferredSize(&pw, &ph);
  partitionWidth_ = pw;
  partitionHeight_ = std::max(0, height_ - 2);
  moveChild(&leftTitle_, rfb::Point(partitionWidth_ / 2, v + 1));
  setChildRect(&partition_, rfb::Rect(dividerPos_, partitionY_, dividerPos_ + partitionWidth_,
                                      partitionY_ + partitionHeight_));
  moveChild(&rightTitle_, rfb::Point(dividerPos_ + partitionWidth_, v + 1));
}

bool WHeader::onPointerMove(const rfb::Point& pos, wvw::Widget* source) {
  if (source == &partition_ && dragging_) {
    int x = pos.x + dividerPos_;
    x = std::min(x, width_ - partitionWidth_ - rightTitle_.width());
    x = std::max(x, leftTitle_.width() + partitionWidth_ / 2);
    if (x != dividerPos_) {
      dividerPos_ = x;
      AliveCheck alive(this);
      onChange(this);
      if (alive.gone())
        return true;
    }
  }
  return WLayout::onPointerMove(pos, source);
}

bool WHeader::onButtonPress(int button, wvw::Widget* source) {
  if (source == &partition_ && button == 0) {
    if (getDividerRect().contains(lastPointer_))
      dragging_ = true;
    invalidate();
  }
  return WLayout::onButtonPress(button, source);
}

bool WHeader::onButtonRelease(int button, wvw::Widget* source) {
  if (source == &partition_ && button == 0) {
    dragging_ = false;
    invalidate();
  }
  return WLayout::onButtonRelease(button, source);
}

bool WHeader::onPointerLeave(wvw::Widget* source) {
  if (source == &partition_) {
    dragging_ = false;
    invalidate();
  }
  return WLayout::onPointerLeave(source);
}

bool WHeader::onChange(wvw::Widget* source) {
  if (source == this) {
    moveChild(&partition_, rfb::Point(dividerPos_, 1));
    moveChild(&rightTitle_, rfb::Point(dividerPos_ + partitionWidth_, 1));
    invalidate();
  }
  return WLayout::onChange(source);
}

bool WHeader::onSizeChange(wvw::Widget* source) {
  if (source == this) {
    layoutChildren();
    invalidate();
  }
  return WLayout::onSizeChange(source);
}

void WHeader::draw(rfb::WritablePixelBuffer* pb) {
  wvw::Style* style = getStyle();
  pb->fillRect(rfb::Rect(0, 0, width_, height_), wvw::colourToPixel(style->background, pb));
  WLayout::draw(pb);
  uint32_t dark = wvw::colourToPixel(style->bevelShadow, pb);
  pb->fillRect(rfb::Rect(0, 0, width_, 1), dark);
  pb->fillRect(rfb::Rect(0, height_ - 1, width_, height_), dark);
  pb->fillRect(rfb::Rect(0, 0, 1, height_), dark);
  pb->fillRect(rfb::Rect(width_ - 1, 0, width_, height_), dark);
}

void WHeader::getPreferredSize(int* width, int* height) {
  *width = partitionWidth_ + leftTitle_.width() + rightTitle_.width();
  *height = leftTitle_.height() + 2;
}

} // namespace ui
