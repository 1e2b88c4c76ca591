#include "zavconfig/NotifyConnectDlg.h"

#include "plat/DString.h"
#include "plat/Time.h"

namespace serverconfig {

namespace {
const int labelWidth = 180, labelHeight = 48;
// One second in the 100-ns units of plat::currentTime.
const uint64_t foldTicks = 10000000;
} // namespace

NotifyConnectDlg::NotifyConnectDlg(Display* dpy) : NotificationPopup(dpy), label_(nullptr, "") {
  const int b = borderWidth;
  label_.setStyle(style());
  content()->addChildSized(&label_, rfb::Rect(b, b, b + labelWidth, b + labelHeight));
  setContentSize(2 * b + labelWidth, labelHeight + 2 * b);
}

NotifyConnectDlg::~NotifyConnectDlg() {
  content()->removeChild(&label_);
}

void NotifyConnectDlg::notify(const ConnectionsList::Entry& entry, bool connected, int seconds) {
  if (seconds == 0)
    return;
  uint64_t now = plat::currentTime();
  if (count_ > 0 && connected == lastConnected_ && now >= lastTime_ &&
      now - lastTime_ < foldTicks) {
    count_++;
  } else {
    count_ = 1;
    lastConnected_ = connected;
  }
  lastTime_ = now;

  plat::DString text;
  if (count_ == 1) {
    const char* user = entry.user.get();
    plat::DString name;
    name.appendReplacing(user && *user ? user : "(anonymous)", "^", "^^");
    text.appendFormat("User ^b%s^n has ", name.c_str());
  } else {
    text.appendFormat("%u users have ", count_);
  }
  text.append(connected ? "connected." : "disconnected.");
  text_ = text.str();
  label_.setText(text_.c_str());
  popUp(seconds * 1000);
}

} // namespace serverconfig
