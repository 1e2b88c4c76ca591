#include "zavconfig/QueryConnectDialog.h"

#include "plat/DString.h"
#include "plat/LogWriter.h"
#include "plat/MarkUp.h"

#include <algorithm>
#include <cstring>

static plat::LogWriter vlog("QueryConnectDialog");

namespace zavconfig {

namespace {

// The prompt is at least this high beside the logo.
const int minHeight = 72;
// White below the message's last line, so that its descenders stay off the
// border.
const int textBottomGap = 3;

void appendChoice(plat::DString& out, int link, const char* label) {
  plat::DString escaped;
  plat::MarkUp::appendEscaped(escaped, label);
  out.append("^b\xe2\x80\xa2^n ");
  out.appendFormat("^%d{%s^}", link, escaped.c_str());
}

} // namespace

plat::String QueryConnectDialog::shownUserName(const char* userName) {
  if (!userName)
    return plat::String("");
  size_t length = strlen(userName);
  if (length <= size_t(maxUserNameLength))
    return plat::String(userName);
  // Cut before a UTF-8 continuation byte never: step back to a lead byte.
  size_t cut = maxUserNameLength;
  while (cut > 0 && (static_cast<unsigned char>(userName[cut]) & 0xC0) == 0x80)
    cut--;
  plat::DString out;
  out.append(userName, int(cut));
  out.append("...");
  return out.str();
}

plat::String QueryConnectDialog::makeMessage(const char* userName, int seconds,
                                             zav::Access::Rights timeoutRights) {
  plat::DString name;
  plat::MarkUp::appendEscapedLine(name, shownUserName(userName).c_str());
  plat::DString out;
  out.appendFormat("User ^b%s^n is requesting remote access to your computer.\n\nIf you do "
                   "nothing within the next ^b%d^n seconds then the request will be ^b%s^n.",
                   name.c_str(), seconds,
                   timeoutRights == zav::Access::NoAccess ? "rejected" : "accepted");
  return out.str();
}

plat::String QueryConnectDialog::makeChoices(zav::Access::Rights offeredRights) {
  plat::DString out;
  appendChoice(out, 1, "Accept");
  if (offeredRights != zav::Access::View) {
    out.append("\n\n");
    appendChoice(out, 2, "View-only");
  }
  out.append("\n\n");
  appendChoice(out, 3, "Reject");
  return out.str();
}

QueryConnectDialog::QueryConnectDialog(Display* dpy, const char* userName,
                                       zav::Access::Rights offeredRights,
                                       zav::Access::Rights timeoutRights, int seconds,
                                       QueryResultCallback* callback)
    : ui::NotificationDialog(dpy), callback_(callback), userName_(userName ? userName : ""),
      secondsLeft_(seconds), countdown_(this), timeoutRights_(timeoutRights),
      labelStyle_(*wvw::Widget::getDefaultStyle()), messageLabel_(this, nullptr),
      choicesLabel_(this, nullptr) {
  labelStyle_.background = wvw::Widget::White;
  messageLabel_.setStyle(&labelStyle_);
  choicesLabel_.setStyle(&labelStyle_);
  choices_ = makeChoices(offeredRights);
  choicesLabel_.setText(choices_.c_str());
  updateMessage();

  const int b = borderWidth, w = ui::HalbrinLogo::logoWidth;
  // The message wraps within its width. The popup is at least as high as
  // the logo, and higher when the text (the longest count is the first)
  // needs it, so that no line is cut off or touches the border.
  messageLabel_.setSize(messageWidth, 1);
  int prefW, prefH;
  messageLabel_.getPreferredSize(&prefW, &prefH);
  int h = std::max({int(ui::HalbrinLogo::logoHeight), minHeight, prefH + textBottomGap});
  layout_.addChildAt(&logo_, rfb::Point(b, b));
  layout_.addChildSized(&messageLabel_, rfb::Rect(w + b, b, w + b + messageWidth, h + b));
  layout_.addChildSized(&choicesLabel_, rfb::Rect(w + b + messageWidth, b,
                                                  w + b + messageWidth + choicesWidth, h + b));
  layout_.setSize(w + 2 * b + messageWidth + choicesWidth, h + 2 * b);
  setName("Connection query");
  countdown_.start(1000);
}

QueryConnectDialog::~QueryConnectDialog() {
  countdown_.stop();
  layout_.removeChild(&choicesLabel_);
  layout_.removeChild(&messageLabel_);
  layout_.removeChild(&logo_);
}

void QueryConnectDialog::updateMessage() {
  message_ = makeMessage(userName_.c_str(), secondsLeft_, timeoutRights_);
  messageLabel_.setText(message_.c_str());
}

void QueryConnectDialog::linkClicked(int link) {
  // Stop first: the answer may lead the owner to replace this prompt.
  countdown_.stop();
  hideTimer_.stop();
  unmap();
  switch (link) {
  case 1:
    callback_->queryResult(zav::Access::Full);
    break;
  case 2:
    callback_->queryResult(zav::Access::View);
    break;
  case 3:
    callback_->queryResult(zav::Access::NoAccess);
    break;
  default:
    vlog.debug("unknown link %d", link);
    break;
  }
}

bool QueryConnectDialog::timerCallback(plat::Timer* timer) {
  if (timer != &countdown_)
    return ui::NotificationDialog::timerCallback(timer);
  if (--secondsLeft_ < 0) {
    unmap();
    callback_->queryTimedOut();
    return false;
  }
  updateMessage();
  return true;
}

} // namespace zavconfig
