// A thumb dragged along a track: a position on each axis between 0 and a
// largest position, and a thumb as long as the page's share of the track.
// A press beside the thumb moves the position one unit toward the pointer.
#pragma once

#include "wvw/Widget.h"

namespace wvw {

class WSlider : public Widget {
public:
  WSlider();
  ~WSlider() override;

  bool onPointerMove(const rfb::Point& pos, Widget* source) override;
  bool onButtonPress(int button, Widget* source) override;
  bool onButtonRelease(int button, Widget* source) override;
  bool onPointerLeave(Widget* source) override;
  bool onChange(Widget* source) override;
  bool onSizeChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  // 1 x 1.
  void getPreferredSize(int* width, int* height) override;
  bool acceptsFocus() override { return false; }

  // Clamped on each axis into 0..the largest position; a change is sent as
  // onChange.
  void setPosition(const rfb::Point& pos);
  // A negative largest position counts as 0.
  void setMaxPos(const rfb::Point& maxPos);
  // Each axis at least 1.
  void setPageSize(const rfb::Point& page);
  rfb::Rect thumbRect() const;

  const rfb::Point& getPosition() const { return pos_; }
  const rfb::Point& getMaxPos() const { return maxPos_; }
  const rfb::Point& getPage() const { return page_; }
  const rfb::Point& getThumbSize() const { return thumbSize_; }
  bool isDragging() const { return dragging_; }
  // Where the pointer was last seen over the slider.
  const rfb::Point& getLastPointer() const { return lastPointer_; }

private:
  rfb::Point thumbOffset() const;

  rfb::Point maxPos_;
  rfb::Point pos_;
  rfb::Point page_;
  rfb::Point thumbSize_;
  bool dragging_;
  rfb::Point dragOffset_;
};

} // namespace wvw
