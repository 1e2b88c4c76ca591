#include "wvw/WScrollView.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WScrollView");

namespace wvw {

namespace {
const int barSize = 16;
}

WScrollView::WScrollView() : content_(nullptr) {
  hbar_.setSize(0, barSize);
  vbar_.setSize(barSize, 0);
  addChild(&clip_);
  addChild(&hbar_);
  addChild(&vbar_);
  hbar_.setVisible(false);
  vbar_.setVisible(false);
}

WScrollView::~WScrollView() = default;

// The content stays the clip's child, so that it is painted clipped and
// reports its damage through the clip; its size changes still reach the
// view, since they travel from the clip to its parent's handler.
void WScrollView::setChild(Widget* widget) {
  AliveCheck alive(this);
  if (content_)
    clip_.removeChild(content_);
  if (alive.gone())
    return;
  content_ = widget;
  if (widget)
    clip_.addChildAt(widget, rfb::Point(0, 0));
  if (!alive.gone())
    onChange(this);
}

void WScrollView::setScrollPosition(const rfb::Point& pos) {
  AliveCheck alive(this);
  hbar_.getSlider()->setPosition(pos);
  if (!alive.gone())
    vbar_.getSlider()->setPosition(pos);
}

void WScrollView::scrollBy(const rfb::Point& delta) {
  AliveCheck alive(this);
  WSlider* h = hbar_.getSlider();
  WSlider* v = vbar_.getSlider();
  h->setPosition(h->getPosition().translate(delta));
  if (!alive.gone())
    v->setPosition(v->getPosition().translate(delta));
}

rfb::Point WScrollView::getViewSize() {
  return rfb::Point(width_ - (vbar_.isVisible() ? vbar_.width() : 0),
                    height_ - (hbar_.isVisible() ? hbar_.height() : 0));
}

rfb::Rect WScrollView::getVisibleRect() {
  rfb::Point tl(hbar_.isVisible() ? hbar_.getSlider()->getPosition().x : 0,
                vbar_.isVisible() ? vbar_.getSlider()->getPosition().y : 0);
  rfb::Point size = getViewSize();
  return rfb::Rect(tl.x, tl.y, tl.x + size.x, tl.y + size.y);
}

void WScrollView::updateScrollBars() {
  AliveCheck alive(this);
  int cw = content_ ? content_->width() : 0, ch = content_ ? content_->height() : 0;
  int w = width_, h = height_;
  bool H = cw > w, V = ch > h;
  bool hFirst = H;
  if (H && !V)
    V = ch > h - barSize;
  if (V && !hFirst)
    H = cw > w - barSize;
  hbar_.setVisible(H);
  vbar_.setVisible(V);
  if (alive.gone())
    return;
  if (H)
    setChildRect(&hbar_, rfb::Rect(0, h - barSize, V ? w - barSize : w, h));
  else
    hbar_.getSlider()->setPosition(rfb::Point(0, 0));
  if (alive.gone())
    return;
  if (V)
    setChildRect(&vbar_, rfb::Rect(w - barSize, 0, w, H ? h - barSize : h));
  else
    vbar_.getSlider()->setPosition(rfb::Point(0, 0));
  if (alive.gone())
    return;
  rfb::Point view = getViewSize();
  if (V) {
    vbar_.setRange(0, content_ ? ch - view.y : 0);
    vbar_.setPageSize(view.y);
  }
  if (alive.gone())
    return;
  if (H) {
    hbar_.setRange(0, content_ ? cw - view.x : 0);
    hbar_.setPageSize(view.x);
  }
  if (alive.gone())
    return;
  // Read after the ranges are set: a position they clamped has laid the
  // view out already, and this pass must not undo that with the old one.
  rfb::Point s(hbar_.getSlider()->getPosition().x, vbar_.getSlider()->getPosition().y);
  setChildRect(&clip_, rfb::Rect(-s.x, -s.y, view.x, view.y));
  invalidate();
}

bool WScrollView::onSizeChange(Widget* source) {
  if (source == this || (source && source == content_)) {
    AliveCheck alive(this);
    updateScrollBars();
    if (alive.gone())
      return true;
  }
  return WLayout::onSizeChange(source);
}

bool WScrollView::onChange(Widget* source) {
  if (source == this || source == hbar_.getSlider() || source == vbar_.getSlider()) {
    AliveCheck alive(this);
    updateScrollBars();
    if (alive.gone())
      return true;
  }
  return WLayout::onChange(source);
}

bool WScrollView::inContent(Widget* w) const {
  for (; w; w = w->getContainer())
    if (w == content_)
      return true;
  return false;
}

// The wheel is taken at its press: no widget clicks with the wheel buttons.
bool WScrollView::onButtonPress(int button, Widget* source) {
  if ((button == 3 || button == 4) && content_ && (source == this || inContent(source))) {
    rfb::Point step;
    if (vbar_.isVisible() && (!hbar_.isVisible() || !isControlDown()))
      step = rfb::Point(0, height_ / 4);
    else
      step = rfb::Point(hbar_.isVisible() ? width_ / 4 : 0, 0);
    if (button == 3)
      step = rfb::Point(-step.x, -step.y);
    scrollBy(step);
    return true;
  }
  return WLayout::onButtonPress(button, source);
}

} // namespace wvw
