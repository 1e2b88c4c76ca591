// Shows one content widget through a clipped view, with a horizontal and a
// vertical scroll bar that appear only when the content does not fit. The
// wheel scrolls by a quarter of the view. The content is not owned; the clip
// layout and the bars are members.
#pragma once

#include "wvw/WHScrollBar.h"
#include "wvw/WLayout.h"
#include "wvw/WVScrollBar.h"

namespace wvw {

class WScrollView : public WLayout {
public:
  WScrollView();
  ~WScrollView() override;

  // A wheel notch (buttons 3 and 4) over the content scrolls.
  bool onButtonPress(int button, Widget* source) override;
  // The view, a scroll bar's slider: lays the view out anew.
  bool onChange(Widget* source) override;
  // The view or the content changed size: lays the view out anew.
  bool onSizeChange(Widget* source) override;

  // The previous content (if any) leaves the view; null shows none.
  void setChild(Widget* widget);
  // Each bar takes its own axis of the point.
  void setScrollPosition(const rfb::Point& pos);
  void scrollBy(const rfb::Point& delta);
  // The view's size less the shown bars.
  rfb::Point getViewSize();
  // The part of the content in view, in the content's coordinates.
  rfb::Rect getVisibleRect();
  void updateScrollBars();

  Widget* getChild() const { return content_; }
  WHScrollBar* getHBar() { return &hbar_; }
  WVScrollBar* getVBar() { return &vbar_; }
  WLayout* getClip() { return &clip_; }

private:
  // Whether the widget is the content or lies inside it.
  bool inContent(Widget* w) const;

  Widget* content_;
  WLayout clip_;
  WHScrollBar hbar_;
  WVScrollBar vbar_;
};

} // namespace wvw
