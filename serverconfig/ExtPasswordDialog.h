// "Zav Extended Authentication": one tick box per extra user ("Admin",
// "ViewOnly"); a user is enabled exactly when its password file (named by
// the parameter "<kind>PasswordFile") exists and holds a byte. "Ok" brings
// the files in line with the ticks: a newly ticked user gets a password
// dialog that writes its file, an unticked one is asked about and its file
// removed; one dialog or question at a time, "Admin" first. Not modal: its
// own input is off while its password dialog or a box is up. It owns its
// widgets, boxes and the password dialog it opened; the owner (the password
// dialog that made it) and the parameter set are the caller's.
#pragma once

#include "tx/TXDialog.h"
#include "tx/TXMsgBox.h"
#include "ui/TooltipHandler.h"

#include "wvw/WLabelButton.h"
#include "wvw/WLabelCheckBox.h"

#include <memory>
#include <string>
#include <vector>

namespace plat {
class ParameterSet;
}

namespace serverconfig {

class PasswordDialog;

class ExtPasswordDialog : public TXDialog, public TXDialog::Callback, public ui::TooltipHandler {
public:
  // Ticks each user whose file has a password; nothing is shown.
  ExtPasswordDialog(Display* dpy, TXDialog* owner, plat::ParameterSet* params);
  ~ExtPasswordDialog() override;

  // Whether the user's password file exists with content. Failures (a bad
  // environment reference, a file that cannot be opened, a missing
  // parameter) are shown in the error box and count as no file.
  bool hasPassword(const char* parameterName);
  // Brings one user's file in line with its tick: opens the password dialog
  // or asks whether to remove the file.
  void setUserEnabled(const char* kind, bool enabled);
  // Opens a new password dialog for the file the parameter names.
  void openPasswordDialog(const char* title, const char* parameterName);
  // Each "Set Password..." enabled by its tick box.
  void updateButtons();
  // A password dialog is held and mapped.
  bool isPasswordDialogShown() const;

  // The window manager's close: closes the password dialog and the boxes,
  // then ends with false.
  void deleteWindow(TXWindow* window) override;
  bool onClick(wvw::Widget* source) override;
  // The password dialog or a box ended.
  void dialogFinished(TXDialog* dialog, bool result) override;

  wvw::WLabelCheckBox* adminBox() { return &admin_; }
  wvw::WLabelCheckBox* viewOnlyBox() { return &viewOnly_; }
  wvw::WLabelButton* adminButton() { return &adminSet_; }
  wvw::WLabelButton* viewOnlyButton() { return &viewOnlySet_; }
  wvw::WLabelButton* okButton() { return &ok_; }
  wvw::WLabelButton* cancelButton() { return &cancel_; }
  TXMsgBox* questionBox() { return question_.get(); }
  TXMsgBox* errorBox() { return error_.get(); }
  // Null until one was opened.
  PasswordDialog* passwordDialog() { return passwordDialog_.get(); }
  bool isPending() const { return pending_; }

private:
  void showBox(TXMsgBox* box, const char* text);
  void runPendingStep();

  TXDialog* owner_;
  plat::ParameterSet* params_;
  std::unique_ptr<PasswordDialog> passwordDialog_;
  // Password dialogs replaced while they may still be telling of their end;
  // released at the next click here.
  std::vector<std::unique_ptr<PasswordDialog>> retired_;
  std::unique_ptr<TXMsgBox> question_;
  std::unique_ptr<TXMsgBox> error_;
  std::string removeParameter_;
  bool pending_;
  wvw::WLabelCheckBox admin_;
  wvw::WLabelCheckBox viewOnly_;
  wvw::WLabelButton adminSet_;
  wvw::WLabelButton viewOnlySet_;
  wvw::WLabelButton ok_;
  wvw::WLabelButton cancel_;
};

} // namespace serverconfig
