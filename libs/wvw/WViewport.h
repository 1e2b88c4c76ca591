// Shows one child widget in a view with a horizontal and a vertical scroll
// bar that appear only when the content is larger than the view. The child
// draws the visible part itself and hears of every scroll through its
// WViewportChild interface. Child and interface are not owned; the bars are
// members.
#pragma once

#include "wvw/WHScrollBar.h"
#include "wvw/WLayout.h"
#include "wvw/WVScrollBar.h"
#include "wvw/WViewportChild.h"

namespace wvw {

class WViewport : public WLayout {
public:
  WViewport();
  ~WViewport() override;

  // A slider moved: the viewport child is told the new corner.
  bool onChange(Widget* source) override;
  bool onSizeChange(Widget* source) override;

  void setViewportChild(WViewportChild* child) { viewportChild_ = child; }
  // The previous child (if any) leaves; null shows none.
  void setChild(Widget* widget);
  void setContentSize(const rfb::Point& size);
  void setScrollPosition(const rfb::Point& pos);
  // The viewport's size less the shown bars.
  rfb::Point getViewSize();

  const rfb::Point& getContentSize() const { return contentSize_; }
  bool isHBarShown() const { return hBarShown_; }
  bool isVBarShown() const { return vBarShown_; }
  WHScrollBar* getHScrollBar() { return &hScrollBar_; }
  WVScrollBar* getVScrollBar() { return &vScrollBar_; }

private:
  void layout();

  WViewportChild* viewportChild_;
  Widget* child_;
  rfb::Point contentSize_;
  WHScrollBar hScrollBar_;
  WVScrollBar vScrollBar_;
  bool vBarShown_, hBarShown_;
};

} // namespace wvw
