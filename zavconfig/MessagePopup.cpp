#include "zavconfig/MessagePopup.h"

#include "plat/DString.h"

#include <algorithm>

namespace zavconfig {

namespace {
const int textWidth = 300;
}

MessagePopup::MessagePopup(Display* dpy) : NotificationPopup(dpy), label_(this, nullptr) {
  label_.setStyle(style());
}

MessagePopup::~MessagePopup() {
  content()->removeChild(&label_);
}

void MessagePopup::show(const char* text) {
  text_ = plat::String(text ? text : "");
  plat::DString markup;
  markup.appendReplacing(text_.c_str(), "^", "^^");
  markup.append("\n\n^1{OK^}");
  label_.setText(markup.c_str());
  label_.setSize(textWidth, 1);
  int w, h;
  label_.getPreferredSize(&w, &h);
  const int b = borderWidth;
  content()->addChildSized(&label_, rfb::Rect(b, b, b + textWidth, b + h));
  setContentSize(textWidth + 2 * b, h + 2 * b);
  popUp(-1);
}

void MessagePopup::linkClicked(int) {
  hide();
}

} // namespace zavconfig
