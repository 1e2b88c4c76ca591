// The "Basic" page of the options dialog: one switch that allows or forbids
// viewer connections (the parameters AllowRfb and AllowHttp together), the
// row that chooses what happens when a viewer connects, and the security
// box, without "None" among the authentication methods unless the server's
// settings already use it. Owns its switch; the rest is the base's.
#pragma once

#include "serverconfig/ConnDlgBase.h"

#include "wvw/WLabelCheckBox.h"

namespace serverconfig {

class BasicOptionsDlg : public ConnDlgBase {
public:
  BasicOptionsDlg(Display* dpy, TXWParent* owner, OptionsDialog::Callback* callback,
                  UnixAccessDialog* usersDialog, plat::ParameterSet* params,
                  plat::ParameterSet* reference);
  ~BasicOptionsDlg() override;

  // The switch turns the security box on and off.
  bool onClick(wvw::Widget* source) override;
  bool onAttach(wvw::Widget* source) override;

  wvw::WLabelCheckBox* allowCheck() { return &allowCheck_; }

private:
  // A mixed switch counts as on.
  bool allowed();

  wvw::WLabelCheckBox allowCheck_;
};

} // namespace serverconfig
