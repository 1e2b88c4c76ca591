// The small popup in the corner of the screen that tells the desktop user that
// a viewer user has connected or disconnected: the product logo and one
// line of text. Notices of the same kind less than a second apart fold into
// one counting message. The popup owns its logo, label and their style.
#pragma once

#include "serverconfig/ConnectionsList.h"
#include "ui/HalbrinLogo.h"
#include "ui/NotificationDialog.h"

#include "plat/String.h"
#include "wvw/Style.h"
#include "wvw/WLabelMarkedUp.h"

#include <cstdint>

namespace serverconfig {

class NotifyConnectDlg : public ui::NotificationDialog {
public:
  // Width of the text beside the logo, in pixels.
  static const int labelWidth = 180;

  // Builds the popup; nothing is shown.
  explicit NotifyConnectDlg(Display* dpy);
  ~NotifyConnectDlg() override;

  // Shows the notice of one connection (only its user name is used) for
  // seconds; 0 seconds shows nothing and leaves the count alone.
  void notify(const ConnectionsList::Entry& entry, bool connected, int seconds);

  const char* text() const { return text_.c_str(); }
  unsigned count() const { return count_; }

private:
  wvw::Style labelStyle_;
  ui::HalbrinLogo logo_;
  wvw::WLabelMarkedUp label_;
  plat::String text_;
  bool lastConnected_ = false;
  uint64_t lastTime_ = 0;
  unsigned count_ = 0;
};

} // namespace serverconfig
