// A small message box in the corner of the screen: a text and an "OK" link
// that hides it. Used for what the program must tell the desktop user
// without stopping (a failure in a dialog, chat unavailable). Owns its label
// and its copy of the text.
#pragma once

#include "zavconfig/NotificationPopup.h"

#include "plat/MarkUp.h"
#include "plat/String.h"
#include "wvw/WLabelMarkedUp.h"

namespace zavconfig {

class MessagePopup : public NotificationPopup, public plat::MarkUp::LinkCallback {
public:
  explicit MessagePopup(Display* dpy);
  ~MessagePopup() override;

  // Shows the plain text (mark-up codes in it are shown literally) until
  // "OK" is clicked.
  void show(const char* text);
  void linkClicked(int link) override;

  const char* text() const { return text_.c_str(); }

private:
  wvw::WLabelMarkedUp label_;
  plat::String text_;
};

} // namespace zavconfig
