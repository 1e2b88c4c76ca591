#include "wvw/WLabelWidget.h"

#include "plat/LogWriter.h"

#include <algorithm>
#include <cstdint>

static plat::LogWriter vlog("WLabelWidget");

namespace wvw {

WLabelWidget::WLabelWidget(const char* text, int labelShare, int widgetShare)
    : label_(nullptr, 0), widget_(nullptr), labelRight_(false), labelShare_(labelShare),
      widgetShare_(widgetShare) {
  addChildAt(&label_, rfb::Point(0, 0));
  label_.setText(text);
}

WLabelWidget::~WLabelWidget() = default;

void WLabelWidget::setLabelRight(bool labelRight) {
  labelRight_ = labelRight;
  onSizeChange(this);
}

void WLabelWidget::setWidget(Widget* widget) {
  if (widget_)
    removeChild(widget_);
  widget_ = widget;
  if (widget)
    addChild(widget);
}

void WLabelWidget::setText(const char* text) {
  label_.setText(text);
}

void WLabelWidget::setProportions(int labelShare, int widgetShare) {
  if (labelShare == 0 && widgetShare == 0) {
    int h;
    label_.getPreferredSize(&labelShare, &h);
    if (widget_)
      widget_->getPreferredSize(&widgetShare, &h);
  }
  labelShare_ = labelShare;
  widgetShare_ = widgetShare;
  onSizeChange(this);
}

// The products are taken in 64 bits, and shares that add up to nothing give
// the label the whole width rather than a division by zero.
bool WLabelWidget::onSizeChange(Widget* source) {
  if (source == this) {
    int64_t total = int64_t(labelShare_) + widgetShare_;
    int first;
    int64_t firstShare = labelRight_ ? widgetShare_ : labelShare_;
    if (total <= 0)
      first = labelRight_ ? 0 : width_;
    else
      first = int(std::clamp<int64_t>(firstShare * width_ / total, 0, width_));
    Widget* left = labelRight_ ? widget_ : &label_;
    Widget* right = labelRight_ ? &label_ : widget_;
    if (left)
      setChildRect(left, rfb::Rect(0, 0, first, height_));
    if (right)
      setChildRect(right, rfb::Rect(first, 0, width_, height_));
  }
  return WLayout::onSizeChange(source);
}

void WLabelWidget::getPreferredSize(int* width, int* height) {
  int lw, lh, ww = 0, wh = 0;
  label_.getPreferredSize(&lw, &lh);
  if (widget_)
    widget_->getPreferredSize(&ww, &wh);
  *width = lw + ww;
  *height = std::max(lh, wh);
}

bool WLabelWidget::onEnabledChange(Widget* source) {
  if (source == this) {
    AliveCheck alive(this);
    label_.setEnabled(enabled_);
    if (alive.gone())
      return true;
    if (widget_)
      widget_->setEnabled(enabled_);
    if (alive.gone())
      return true;
  }
  return WLayout::onEnabledChange(source);
}

} // namespace wvw
