// The server options window: the option pages in a tabbed properties dialog
// (the basic page alone, or the connection, inputs, printing and expert
// pages), all editing one working set, the server parameter set given by
// the owner. A reference set holds the values last read from or sent to the
// server: OK and Apply send, through the owner's callback, only what differs
// from it; Cancel and closing the window put it back into the working set.
// Not modal. Owns the reference set, the pages, the users and groups dialog
// and the properties dialog; the callback and the working set are the
// owner's.
#pragma once

#include "plat/BoolParameter.h"

#include "tx/TXDialog.h"
#include "ui/PropertiesDialog.h"

#include <memory>
#include <vector>

namespace plat {
class ParameterSet;
}

namespace ui {
class AdvancedDialog;
}

namespace serverconfig {

class BasicOptionsDlg;
class ConnectionsPage;
class InputsPage;
class PrintingPage;
class UnixAccessDialog;

class OptionsDialog : public TXDialog,
                      public ui::PropertiesDialog::Callback,
                      public ui::PropertiesDialog::Validator {
public:
  class Callback {
  public:
    virtual ~Callback() = default;
    // Sends every parameter of changed whose value differs from the one in
    // server, then copies the changed values into server.
    virtual void applyOptions(plat::ParameterSet* changed, plat::ParameterSet* server) = 0;
    // A status value, valid until the next call, or null.
    virtual const char* getStatusParam(const char* name) = 0;
    // Loads the server's parameters into set; without an answer the set is
    // left as it was.
    virtual void reloadParams(plat::ParameterSet* set) = 0;
    // 1 service mode, 2 user mode, 3 virtual mode.
    virtual unsigned getMode() = 0;
  };

  // "AdvancedOptions": whether the dialog shows its advanced pages.
  static plat::BoolParameter advancedParam;

  // Builds every page over params (throws plat::Exception when params lacks
  // a parameter a page needs); nothing is shown.
  OptionsDialog(Display* dpy, Callback* callback, plat::ParameterSet* params);
  ~OptionsDialog() override;

  // Reads the server's values into the reference set, makes the working set
  // exactly that, and shows the window (returns at once).
  virtual void showOptions();
  // OK and Apply, once the current page passed: the changed values go to
  // the server.
  void apply() override;
  // Cancel: every edit since the last showing or apply is dropped.
  void cancel() override;
  // The basic and connection pages check the security settings; the inputs
  // page asks before a view-only server in virtual mode.
  bool validate(const ui::PropertiesDialog::Page& page) override;
  // The window manager's close: as Cancel, and the pages' sub-dialogs close.
  void deleteWindow(TXWindow* window) override;

  plat::ParameterSet* workingSet() const { return params_; }
  plat::ParameterSet* referenceSet() const { return reference_.get(); }
  ui::PropertiesDialog* properties() { return properties_.get(); }
  UnixAccessDialog* usersDialog() { return usersDialog_.get(); }
  BasicOptionsDlg* basicPage() { return basic_.get(); }
  ConnectionsPage* connectionsPage() { return connections_.get(); }
  InputsPage* inputsPage() { return inputs_.get(); }
  PrintingPage* printingPage() { return printing_.get(); }
  ui::AdvancedDialog* expertPage() { return expert_.get(); }

private:
  // The working set (and the sets linked after it) takes every value of the
  // reference set, at every priority it has there.
  void restoreWorkingSet();

  Callback* callback_;
  plat::ParameterSet* params_;
  std::unique_ptr<plat::ParameterSet> reference_;
  std::unique_ptr<UnixAccessDialog> usersDialog_;
  std::unique_ptr<BasicOptionsDlg> basic_;
  std::unique_ptr<ConnectionsPage> connections_;
  std::unique_ptr<InputsPage> inputs_;
  std::unique_ptr<PrintingPage> printing_;
  std::unique_ptr<ui::AdvancedDialog> expert_;
  std::vector<ui::PropertiesDialog::Page> basicList_;
  std::vector<ui::PropertiesDialog::Page> advancedList_;
  std::unique_ptr<ui::PropertiesDialog> properties_;
};

} // namespace serverconfig
