#include "tx/DecoratedLayout.h"

#include "tx/TXWParentDecorated.h"

#include "wvw/FontProp.h"

namespace {

// A 12 x 12 cross, two bytes a row, most significant bit leftmost.
const uint8_t crossBits[24] = {0x00, 0x00, 0x00, 0x00, 0x30, 0xC0, 0x39, 0xC0,
                               0x1F, 0x80, 0x0F, 0x00, 0x0F, 0x00, 0x1F, 0x80,
                               0x39, 0xC0, 0x30, 0xC0, 0x00, 0x00, 0x00, 0x00};

} // namespace

DecoratedLayout::DecoratedLayout(TXWParentDecorated* owner)
    : owner_(owner), content_(nullptr), decorated_(false), active_(false),
      closeIcon_(crossBits, 12, 12), title_(" ", 1), activeStyle_(*getDefaultStyle()),
      inactiveStyle_(*getDefaultStyle()), frameWidth_(2), frameMargin_(2) {
  activeStyle_.font = &wvw::FontProp::helvB15;
  inactiveStyle_.font = &wvw::FontProp::helvB15;
  // An inactive title is greyed out.
  inactiveStyle_.textColour = wvw::Widget::BevelLow;
  closeButton_.setContent(&closeIcon_);
  setActive(false);
}

DecoratedLayout::~DecoratedLayout() {
  if (decorated_) {
    WCanvas::removeChild(&closeButton_);
    WCanvas::removeChild(&title_);
  }
  closeButton_.setContent(nullptr);
}

void DecoratedLayout::addChild(wvw::Widget* child, wvw::Widget* before) {
  if (child != &title_ && child != &closeButton_)
    content_ = child;
  WCanvas::addChild(child, before);
}

void DecoratedLayout::removeChild(wvw::Widget* child) {
  if (child == content_)
    content_ = nullptr;
  WCanvas::removeChild(child);
}

bool DecoratedLayout::onClick(wvw::Widget* source) {
  if (source == &closeButton_) {
    owner_->closeClicked();
    return true;
  }
  return WCanvas::onClick(source);
}

bool DecoratedLayout::onSizeChange(wvw::Widget* source) {
  if (source == this)
    layOut();
  return WCanvas::onSizeChange(source);
}

void DecoratedLayout::setDecorated(bool decorated) {
  if (decorated != decorated_) {
    decorated_ = decorated;
    if (decorated) {
      WCanvas::addChild(&title_);
      WCanvas::addChild(&closeButton_);
    } else {
      WCanvas::removeChild(&closeButton_);
      WCanvas::removeChild(&title_);
    }
  }
  layOut();
}

void DecoratedLayout::setActive(bool active) {
  active_ = active;
  wvw::Style* style = active ? &activeStyle_ : &inactiveStyle_;
  title_.setStyle(style);
  closeButton_.setStyle(style);
  closeIcon_.setStyle(style);
}

void DecoratedLayout::setTitle(const char* title) {
  title_.setText(title && *title ? title : " ");
}

int DecoratedLayout::titleHeight() {
  int w = 0, h = 0;
  title_.getPreferredSize(&w, &h);
  return h + 6;
}

int DecoratedLayout::verticalTotal() {
  return horizontalTotal() + titleHeight();
}

void DecoratedLayout::layOut() {
  if (!decorated_) {
    dragArea_ = rfb::Rect();
    if (content_)
      setChildRect(content_, rfb::Rect(0, 0, width(), height()));
    return;
  }
  int m = frameWidth_ + frameMargin_;
  int t = titleHeight();
  if (content_) {
    content_->setSize(width() - horizontalTotal(), height() - horizontalTotal() - t);
    moveChild(content_, rfb::Point(m, m + t + 2));
  }
  setChildRect(&title_, rfb::Rect(m, m, width() - m, m + t));
  int bw = 0, bh = 0;
  closeButton_.getPreferredSize(&bw, &bh);
  int bx = width() - m - bw - (t - bh) / 2;
  setChildRect(&closeButton_, rfb::Rect::at(rfb::Point(bx, m + (t - bh) / 2), bw, bh));
  dragArea_ = rfb::Rect(m, m, bx, m + t);
}

void DecoratedLayout::draw(rfb::WritablePixelBuffer* pb) {
  WCanvas::draw(pb);
  if (!decorated_)
    return;
  rfb::Rect all(0, 0, width(), height());
  drawFocusRect(pb, all);
  rfb::Rect inner = wvw::growRect(all, -1);
  drawBevel(pb, inner, false, false);
}
