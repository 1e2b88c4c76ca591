#include "ui/Tooltip.h"

#include "plat/DString.h"
#include "plat/MarkUp.h"

#include <algorithm>

namespace ui {

rfb::Colour Tooltip::colour(255, 255, 221);

Tooltip::Tooltip(wvw::Widget* owner, int wrapWidth, plat::MarkUp::LinkCallback* linkCallback)
    : popup_(false), wrapWidth_(wrapWidth), owner_(owner), label_(linkCallback, nullptr, 0),
      style_(*owner->getStyle()), shownIn_(nullptr) {
  style_.textColour = Black;
  style_.background = colour;
  style_.fieldBackground = colour;
  setStyle(&style_);
  label_.setWordWrap(true);
  label_.setMargin(0);
  addChild(&label_);
  setVisible(false);
}

Tooltip::~Tooltip() {
  hide();
  removeChild(&label_);
}

void Tooltip::setText(const char* markedUp) {
  text_ = markedUp ? markedUp : "";
  label_.setText(text_.c_str());
  layOut();
}

void Tooltip::setPlainText(const char* text) {
  plat::DString escaped;
  plat::MarkUp::appendEscaped(escaped, text);
  setText(escaped.c_str());
}

void Tooltip::setWrapWidth(int width) {
  wrapWidth_ = width;
  layOut();
}

void Tooltip::layOut() {
  int w = 0, h = 0;
  label_.setSize(wrapWidth_, 0);
  label_.getPreferredSize(&w, &h);
  label_.setSize(wrapWidth_, h);
  label_.getPreferredSize(&w, &h);
  setChildRect(&label_, rfb::Rect::at(rfb::Point(2, 2), w, h));
  setSize(w + 4, h + 4);
}

void Tooltip::showAt(const rfb::Point& at, wvw::Widget* anchor) {
  setVisible(true);
  rfb::Point offset;
  wvw::WLayout* root = owner_->findRoot(&offset);
  if (!root)
    return;
  rfb::Point p = at.translate(offset);
  if (anchor) {
    rfb::Point anchorAt;
    if (anchor->findRoot(&anchorAt) == root) {
      if (p.x + width() > root->width())
        p.x = anchorAt.x - width() - 2;
      if (p.y + height() > root->height())
        p.y = anchorAt.y - height() - 2;
    }
  } else {
    p.x = std::max(0, std::min(p.x, root->width() - width()));
    p.y = std::max(0, std::min(p.y, root->height() - height()));
  }
  if (shownIn_ == root) {
    root->moveChild(this, p);
    return;
  }
  if (shownIn_)
    hide();
  shownIn_ = root;
  if (popup_)
    root->setPopup(this, p);
  else
    root->addChildAt(this, p);
}

void Tooltip::popUp() {
  showAt(lastPointer_.translate(rfb::Point(2, 16)), nullptr);
}

void Tooltip::hide() {
  if (!shownIn_)
    return;
  wvw::WLayout* root = shownIn_;
  shownIn_ = nullptr;
  setVisible(false);
  root->removeChild(this);
}

void Tooltip::draw(rfb::WritablePixelBuffer* pb) {
  rfb::Rect all(0, 0, width(), height());
  pb->fillRect(all, wvw::colourToPixel(colour, pb));
  WLayout::draw(pb);
  drawFocusRect(pb, all);
}

} // namespace ui
