#include "wvw/WViewport.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WViewport");

namespace wvw {

namespace {
const int barSize = 16;
}

WViewportChild::~WViewportChild() = default;

WViewport::WViewport()
    : viewportChild_(nullptr), child_(nullptr), vBarShown_(false), hBarShown_(false) {
  addChild(&hScrollBar_);
  addChild(&vScrollBar_);
  hScrollBar_.setVisible(false);
  vScrollBar_.setVisible(false);
}

WViewport::~WViewport() = default;

void WViewport::setChild(Widget* widget) {
  AliveCheck alive(this);
  if (child_)
    removeChild(child_);
  if (alive.gone())
    return;
  child_ = widget;
  if (widget)
    addChild(widget);
  if (!alive.gone())
    layout();
}

void WViewport::setContentSize(const rfb::Point& size) {
  if (size == contentSize_)
    return;
  contentSize_ = size;
  layout();
}

void WViewport::setScrollPosition(const rfb::Point& pos) {
  AliveCheck alive(this);
  if (vBarShown_) {
    vScrollBar_.setValue(pos.y);
    if (alive.gone())
      return;
    onChange(vScrollBar_.getSlider());
    if (alive.gone())
      return;
  }
  if (hBarShown_) {
    hScrollBar_.setValue(pos.x);
    if (alive.gone())
      return;
    onChange(hScrollBar_.getSlider());
  }
}

rfb::Point WViewport::getViewSize() {
  return rfb::Point(width_ - (vBarShown_ ? barSize : 0), height_ - (hBarShown_ ? barSize : 0));
}

void WViewport::layout() {
  AliveCheck alive(this);
  int W = width_, H = height_, CW = contentSize_.x, CH = contentSize_.y;
  hBarShown_ = false;
  vBarShown_ = H < CH;
  if (W - (vBarShown_ ? barSize : 0) < CW)
    hBarShown_ = true;
  if (H - (hBarShown_ ? barSize : 0) < CH)
    vBarShown_ = true;
  rfb::Point view = getViewSize();
  vScrollBar_.setVisible(vBarShown_);
  vScrollBar_.setRange(0, std::max(CH - view.y, 0));
  if (vBarShown_) {
    setChildRect(&vScrollBar_, rfb::Rect(W - barSize, 0, W, H));
    vScrollBar_.setPageSize(CH);
  }
  if (alive.gone())
    return;
  hScrollBar_.setVisible(hBarShown_);
  hScrollBar_.setRange(0, std::max(CW - view.x, 0));
  if (hBarShown_) {
    setChildRect(&hScrollBar_, rfb::Rect(0, H - barSize, W - (vBarShown_ ? barSize : 0), H));
    hScrollBar_.setPageSize(CW);
  }
  if (alive.gone())
    return;
  if (child_)
    setChildRect(child_, rfb::Rect(0, 0, std::max(view.x, 0), std::max(view.y, 0)));
}

bool WViewport::onSizeChange(Widget* source) {
  if (source == this) {
    AliveCheck alive(this);
    layout();
    if (alive.gone())
      return true;
  }
  return WLayout::onSizeChange(source);
}

bool WViewport::onChange(Widget* source) {
  if ((source == hScrollBar_.getSlider() || source == vScrollBar_.getSlider()) && viewportChild_) {
    AliveCheck alive(this);
    viewportChild_->onScroll(rfb::Point(hScrollBar_.getValue(), vScrollBar_.getValue()));
    if (alive.gone())
      return true;
  }
  return WLayout::onChange(source);
}

} // namespace wvw
