// The "Connection" page of the options dialog: the viewer port and the port
// that serves the Java viewer with their switches (the HTTP port follows the
// viewer port at a fixed distance), the connection action row and the
// security box of the base, the Guest login's access level, and the button
// that opens the IP filter rules. Owns its widgets and the rules dialog; the
// owner window, callback, users dialog and parameter sets are the caller's.
#pragma once

#include "serverconfig/ConnDlgBase.h"

#include "wvw/WChoice.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"
#include "wvw/WLabelCheckBox.h"
#include "wvw/WText.h"

#include <memory>
#include <string>

namespace serverconfig {

class AccessControlDlg;

class ConnectionsPage : public ConnDlgBase {
public:
  enum { GuestNone = 0, GuestInteractive = 1, GuestViewOnly = 2, GuestCustom = 3 };

  ConnectionsPage(Display* dpy, TXWParent* owner, OptionsDialog::Callback* callback,
                  UnixAccessDialog* usersDialog, plat::ParameterSet* params,
                  plat::ParameterSet* reference);
  ~ConnectionsPage() override;

  // The switches, and "IP Filter..." (opens the rules dialog on the working
  // set; the owner window takes no input until it ends).
  bool onClick(wvw::Widget* source) override;
  // The HTTP port follows the viewer port; both are written as typed, in
  // decimal.
  bool onChange(wvw::Widget* source) override;
  bool onAttach(wvw::Widget* source) override;
  // "GuestAccess" between its letters and the choice's items; the port
  // texts to the parameters as decimal numbers.
  void translateValue(const char* name, const char** value, bool toParam) override;
  // Also the ports, the Java switch, the guest row and "IP Filter...".
  void setSecurityEnabled(bool enabled) override;

  int portOffset() const { return portOffset_; }
  wvw::WLabelCheckBox* acceptCheck() { return &acceptCheck_; }
  wvw::WLabelCheckBox* javaCheck() { return &javaCheck_; }
  wvw::WText* rfbPortField() { return &rfbPortField_; }
  wvw::WText* httpPortField() { return &httpPortField_; }
  wvw::WLabelButton* ipFilterButton() { return &ipFilterButton_; }
  wvw::WLabel* guestLabel() { return &guestLabel_; }
  wvw::WChoice* guestChoice() { return &guestChoice_; }
  AccessControlDlg* accessDialog() { return accessDialog_.get(); }

private:
  void layOut();
  void bindAll();
  static bool ticked(wvw::WLabelCheckBox* box);

  wvw::WLabelCheckBox acceptCheck_;
  wvw::WLabelCheckBox javaCheck_;
  wvw::WText rfbPortField_;
  wvw::WText httpPortField_;
  wvw::WLabelButton ipFilterButton_;
  wvw::WLabel guestLabel_;
  wvw::WChoice guestChoice_;
  std::string customGuestAccess_;
  plat::ConfigParameter* rfbPort_;
  plat::ConfigParameter* httpPort_;
  int portOffset_;
  bool settingHttpPort_;
  // True while a control is loaded from its parameter.
  bool loadingControl_;
  // The decimal text last handed to a port parameter.
  std::string portText_;
  std::unique_ptr<AccessControlDlg> accessDialog_;
};

} // namespace serverconfig
