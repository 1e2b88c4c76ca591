// The small popup in the corner of the screen that tells the desktop user that
// a viewer user has connected or disconnected. Notices of the same kind less
// than a second apart fold into one counting message. The popup owns its
// label.
#pragma once

#include "zavconfig/NotificationPopup.h"

#include "serverconfig/ConnectionsList.h"

#include "plat/String.h"
#include "wvw/WLabelMarkedUp.h"

#include <cstdint>

namespace serverconfig {

class NotifyConnectDlg : public zavconfig::NotificationPopup {
public:
  explicit NotifyConnectDlg(Display* dpy);
  ~NotifyConnectDlg() override;

  // Shows the notice of one connection (only its user name is used) for
  // seconds; 0 seconds shows nothing and leaves the count alone.
  void notify(const ConnectionsList::Entry& entry, bool connected, int seconds);

  const char* text() const { return text_.c_str(); }
  unsigned count() const { return count_; }

private:
  wvw::WLabelMarkedUp label_;
  plat::String text_;
  bool lastConnected_ = false;
  uint64_t lastTime_ = 0;
  unsigned count_ = 0;
};

} // namespace serverconfig
