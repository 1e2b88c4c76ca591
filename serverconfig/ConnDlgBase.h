// The common base of the option pages that say how viewers connect (the
// basic page and the connection page): the "Security" box with its
// encryption and authentication choices, turned into the parameters
// SecurityTypes, ReverseSecurityTypes and UserPasswdVerifier of the working
// set and read back from them, its "Configure..." button (the password
// dialog or the users and groups dialog), and the row that chooses what the
// server does when a viewer connects. Owns its widgets, the password dialog
// and the no-password message box; the owner window, the options dialog's
// callback, the users and groups dialog and the parameter sets are the
// caller's.
#pragma once

#include "serverconfig/OptionsDialog.h"
#include "serverconfig/SecuritySettings.h"

#include "tx/TXDialog.h"
#include "tx/TXMsgBox.h"
#include "ui/WConfigLayout.h"

#include "wvw/WChoice.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"
#include "wvw/WPanel.h"

#include <memory>

namespace serverconfig {

class PasswordDialog;
class UnixAccessDialog;

class ConnDlgBase : public ui::WConfigLayout, public TXDialog::Callback {
public:
  // offerNone: whether "None" is among the authentication methods from the
  // start. Throws plat::Exception when the working set lacks a parameter
  // the page needs.
  ConnDlgBase(Display* dpy, TXWParent* owner, bool offerNone, OptionsDialog::Callback* callback,
              UnixAccessDialog* usersDialog, plat::ParameterSet* params,
              plat::ParameterSet* reference);
  ~ConnDlgBase() override;

  bool onClick(wvw::Widget* source) override;
  bool onAttach(wvw::Widget* source) override;
  bool onChange(wvw::Widget* source) override;

  // Enables or disables the security box; "Configure..." only when enabled
  // and an authentication that has something to configure is chosen.
  virtual void setSecurityEnabled(bool enabled);
  // A sub-dialog ended: the owner window takes input again. The end of the
  // no-password box opens the password dialog.
  void dialogFinished(TXDialog* dialog, bool result) override;

  // False, after showing the no-password box, when Zav password
  // authentication is chosen and the server reports it has no password.
  bool validate();
  // Closes the password and users dialogs when shown (result false).
  void closeSubDialogs();

  // (encryption id, authentication id) to the three lists; false when
  // either id is noItem.
  static bool makeSecurityTypes(int encryption, int authentication, plat::String* forward,
                                plat::String* reverse, plat::String* verifier);
  // Reads the lists back into the two choices.
  void loadSecurity();

  int encryptionId();
  int authenticationId();

  wvw::WPanel* securityBox() { return &securityBox_; }
  wvw::WLabel* authLabel() { return &authLabel_; }
  wvw::WLabel* encLabel() { return &encLabel_; }
  wvw::WLabel* actionLabel() { return &actionLabel_; }
  wvw::WChoice* authChoice() { return &authChoice_; }
  wvw::WChoice* encChoice() { return &encChoice_; }
  wvw::WChoice* actionChoice() { return &actionChoice_; }
  wvw::WLabelButton* configureButton() { return &configureButton_; }
  PasswordDialog* passwordDialog() { return passwordDialog_.get(); }
  TXMsgBox* noPasswordBox() { return noPasswordBox_.get(); }
  bool offersNone() const { return security_.offerNone(); }

protected:
  // Called by the derived page after it placed its controls: "None" when
  // offered, and the tooltips.
  void bindSecurity();
  // The action label and choice at (x, y); the label's height.
  int placeActionRow(int x, int y);
  // Widens or narrows the security box to the action row's width.
  void fitSecurityBox();

  OptionsDialog::Callback* callback_;
  std::unique_ptr<PasswordDialog> passwordDialog_;
  UnixAccessDialog* usersDialog_;
  std::unique_ptr<TXMsgBox> noPasswordBox_;
  SecuritySettings security_;
  wvw::WPanel securityBox_;
  wvw::WLabel authLabel_;
  wvw::WLabel encLabel_;
  wvw::WLabel actionLabel_;
  wvw::WChoice actionChoice_;
  wvw::WChoice authChoice_;
  wvw::WChoice encChoice_;
  wvw::WLabelButton configureButton_;
  unsigned mode_;

private:
  // True while the choices are filled from the parameters.
  bool loading_;
  // "Configure..." pressed, or the no-password box closed.
  void configure();
  void setParameter(plat::ConfigParameter* parameter, const char* value);
  // The chosen items into their parameters.
  void storeSecurity();
  void storeAction();

  plat::ConfigParameter* securityTypes_;
  plat::ConfigParameter* reverseSecurityTypes_;
  plat::ConfigParameter* userPasswdVerifier_;
  plat::ConfigParameter* queryConnect_;
  plat::ConfigParameter* queryOnlyIfLoggedOn_; // may be null
  plat::ConfigParameter* connNotifyTimeout_;
};

} // namespace serverconfig
