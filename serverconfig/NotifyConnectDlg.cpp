#include "serverconfig/NotifyConnectDlg.h"

#include "plat/DString.h"
#include "plat/MarkUp.h"
#include "plat/Time.h"

#include <algorithm>
#include <climits>

namespace serverconfig {

namespace {
// One second in the 100-ns units of plat::currentTime.
const uint64_t foldTicks = 10000000;
} // namespace

NotifyConnectDlg::NotifyConnectDlg(Display* dpy)
    : ui::NotificationDialog(dpy), labelStyle_(*wvw::Widget::getDefaultStyle()),
      label_(nullptr, "") {
  labelStyle_.background = wvw::Widget::White;
  label_.setStyle(&labelStyle_);
  const int b = borderWidth, w = ui::HalbrinLogo::logoWidth, h = ui::HalbrinLogo::logoHeight;
  layout_.addChildAt(&logo_, rfb::Point(b, b));
  layout_.addChildSized(&label_, rfb::Rect(w + b, b, w + b + labelWidth, h));
  layout_.setSize(w + 2 * b + labelWidth, h + 2 * b);
  setName("Connection notice");
}

NotifyConnectDlg::~NotifyConnectDlg() {
  layout_.removeChild(&label_);
  layout_.removeChild(&logo_);
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
    plat::MarkUp::appendEscapedLine(name, user && *user ? user : "(anonymous)");
    text.appendFormat("User ^b%s^n has ", name.c_str());
  } else {
    text.appendFormat("%u users have ", count_);
  }
  text.append(connected ? "connected." : "disconnected.");
  text_ = text.str();
  label_.setText(text_.c_str());
  // The hide timer holds int milliseconds. A negative time would leave the
  // notice up for good: it shows for the shortest time instead.
  popUp(std::clamp(seconds, 1, INT_MAX / 1000) * 1000);
}

} // namespace serverconfig
