#include "ui/InfoWindow.h"

#include "wvw/FontProp.h"

namespace ui {

InfoWindow::InfoWindow(wvw::Widget* owner, plat::MarkUp::LinkCallback* linkCallback, int wrapWidth)
    : Tooltip(owner, wrapWidth, linkCallback), titleStyle_(style_) {
  popup_ = true;
  titleStyle_.font = &wvw::FontProp::helvB15;
  title_.setStyle(&titleStyle_);
  title_.setMargin(0);
  addChild(&title_);
  layOut();
}

InfoWindow::~InfoWindow() {
  hide();
  removeChild(&title_);
}

void InfoWindow::setTitle(const char* title) {
  title_.setText(title);
  layOut();
}

void InfoWindow::popUp() {
  showAt(lastPointer_.translate(rfb::Point(16 - wrapWidth_, -16)), nullptr);
}

void InfoWindow::layOut() {
  int w = 0, h = 0, tw = 0, th = 0;
  label_.setSize(wrapWidth_ - 2 * pad, 0);
  label_.getPreferredSize(&w, &h);
  label_.setSize(wrapWidth_ - 2 * pad, h);
  title_.getPreferredSize(&tw, &th);
  title_.setSize(wrapWidth_ - 2 * pad, th);
  moveChild(&title_, rfb::Point(pad, pad));
  moveChild(&label_, rfb::Point(pad, th + pad));
  label_.getPreferredSize(&w, &h);
  setSize(w + 2 * pad, 3 * pad + th + h);
}

} // namespace ui
