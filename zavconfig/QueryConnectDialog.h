// The popup that asks the desktop user whether an incoming viewer connection
// may proceed: the product logo, the user name, a countdown and the choices
// "Accept", "View-only" and "Reject" as links. The answer, or the time-out,
// goes to the QueryResultCallback (not owned). The popup owns its copy of
// the user name, its logo, labels, their style and its countdown timer.
#pragma once

#include "ui/HalbrinLogo.h"
#include "ui/NotificationDialog.h"

#include "plat/MarkUp.h"
#include "plat/String.h"
#include "plat/Timer.h"
#include "wvw/Style.h"
#include "wvw/WLabelMarkedUp.h"
#include "zav/Access.h"

#include <cstdint>

namespace zavconfig {

class QueryResultCallback {
public:
  virtual ~QueryResultCallback() = default;
  virtual void queryResult(zav::Access::Rights rights) = 0;
  // The prompt ran out of time; by default the answer is no rights.
  virtual void queryTimedOut() { queryResult(zav::Access::NoAccess); }
};

class QueryConnectDialog : public ui::NotificationDialog, public plat::MarkUp::LinkCallback {
public:
  // Longest user name shown, in bytes; a longer one is cut at a character
  // boundary and ended with "...".
  static const int maxUserNameLength = 64;

  // Width of the message and of the choices, in pixels.
  static const int messageWidth = 250;
  static const int choicesWidth = 80;

  // Starts the countdown from seconds; the caller shows the popup with
  // popUp(-1).
  QueryConnectDialog(Display* dpy, const char* userName, zav::Access::Rights offeredRights,
                     zav::Access::Rights timeoutRights, int seconds, QueryResultCallback* callback);
  ~QueryConnectDialog() override;

  // 1 Accept (full rights), 2 View-only, 3 Reject; any link ends the prompt.
  void linkClicked(int link) override;
  bool timerCallback(plat::Timer* timer) override;

  int secondsLeft() const { return secondsLeft_; }
  const char* messageText() const { return message_.c_str(); }
  const char* choicesText() const { return choices_.c_str(); }
  wvw::WLabelMarkedUp* choicesLabel() { return &choicesLabel_; }

  // The texts, built from outside data: the user name is escaped for the
  // mark-up, kept on its line (control characters show as '?') and bounded.
  static plat::String makeMessage(const char* userName, int seconds,
                                  zav::Access::Rights timeoutRights);
  static plat::String makeChoices(zav::Access::Rights offeredRights);
  // The name as shown: null reads as empty, cut to maxUserNameLength.
  static plat::String shownUserName(const char* userName);

private:
  void updateMessage();

  QueryResultCallback* callback_;
  plat::String userName_;
  int secondsLeft_;
  plat::Timer countdown_;
  zav::Access::Rights timeoutRights_;
  plat::String message_;
  plat::String choices_;
  wvw::Style labelStyle_;
  ui::HalbrinLogo logo_;
  wvw::WLabelMarkedUp messageLabel_;
  wvw::WLabelMarkedUp choicesLabel_;
};

} // namespace zavconfig
