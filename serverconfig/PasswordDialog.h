// The window that asks for a new password twice and writes it, obfuscated,
// to the password file named by a string parameter ("PasswordFile" for the
// server's own password, "AdminPasswordFile" or "ViewOnlyPasswordFile" for
// the extra users). Given a parameter set it also offers the extra users'
// dialog ("Extended Configuration..."). Not modal: while one of its message
// boxes or the extra users' dialog is up, its own input is off. It owns its
// widgets, its three message boxes and the extra users' dialog; the
// parameter, the parameter set and the owner window are the caller's.
#pragma once

#include "tx/TXDialog.h"
#include "tx/TXMsgBox.h"
#include "ui/TooltipHandler.h"

#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"
#include "wvw/WText.h"

#include <memory>

namespace plat {
class ConfigParameter;
class ParameterSet;
} // namespace plat

namespace serverconfig {

class ExtPasswordDialog;

class PasswordDialog : public TXDialog, public TXDialog::Callback, public ui::TooltipHandler {
public:
  // params null: no "Extended Configuration..." button. Nothing is shown.
  PasswordDialog(Display* dpy, TXWindow* owner, const char* title,
                 plat::ConfigParameter* fileParameter, plat::ParameterSet* params);
  ~PasswordDialog() override;

  // The window manager's close: closes the extra users' dialog (and what it
  // has open) and the warning and error boxes, then ends with false.
  void deleteWindow(TXWindow* window) override;

  bool onClick(wvw::Widget* source) override;
  bool onKey(uint32_t keysym, bool down, wvw::Widget* source) override;
  bool onChange(wvw::Widget* source) override;
  bool onAttach(wvw::Widget* source) override;
  // A message box or the extra users' dialog ended.
  void dialogFinished(TXDialog* dialog, bool result) override;

  // Writes the new password to the file; a failure (no file name, a bad
  // environment reference, the file that cannot be written) is shown in the
  // error box and answers false. The old file stays when writing fails.
  bool writePasswordFile();

  wvw::WText* passwordField() { return &password_; }
  wvw::WText* confirmField() { return &confirm_; }
  wvw::WLabelButton* okButton() { return &ok_; }
  wvw::WLabelButton* cancelButton() { return &cancel_; }
  // Null without a parameter set.
  wvw::WLabelButton* extendedButton() { return params_ ? &extended_ : nullptr; }
  wvw::WLabel* passwordLabel() { return &passwordLabel_; }
  wvw::WLabel* confirmLabel() { return &confirmLabel_; }
  TXMsgBox* questionBox() { return question_.get(); }
  TXMsgBox* warningBox() { return warning_.get(); }
  TXMsgBox* errorBox() { return error_.get(); }
  // Null until "Extended Configuration..." was first pressed.
  ExtPasswordDialog* extendedDialog() { return extendedDialog_.get(); }

private:
  void updateOk();
  void showBox(TXMsgBox* box, const char* text);
  // Stores the password and ends the dialog with whether it was stored.
  void storeAndEnd();

  plat::ConfigParameter* fileParameter_;
  plat::ParameterSet* params_;
  wvw::WLabel passwordLabel_;
  wvw::WLabel confirmLabel_;
  wvw::WText password_;
  wvw::WText confirm_;
  wvw::WLabelButton ok_;
  wvw::WLabelButton cancel_;
  wvw::WLabelButton extended_;
  std::unique_ptr<TXMsgBox> question_;
  std::unique_ptr<TXMsgBox> warning_;
  std::unique_ptr<TXMsgBox> error_;
  std::unique_ptr<ExtPasswordDialog> extendedDialog_;
};

} // namespace serverconfig
