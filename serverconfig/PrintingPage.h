// The "Printing" page of the server options dialog: whether viewers may share
// their printers ("EnableRemotePrinting") and make the shared printer this
// computer's default ("AllowChangeDefaultPrinter", bound to its box), and,
// below, in words, what will happen or why remote printing is unavailable.
// What is shown and allowed comes from the page's model. The widgets and the
// model are owned; the options dialog's callback, the parameter sets, the
// printing system, display and owner window are not.
#pragma once

#include "serverconfig/OptionsDialog.h"
#include "serverconfig/PrintingPageModel.h"

#include "ui/WConfigLayout.h"

#include "wvw/WLabel.h"
#include "wvw/WLabelCheckBox.h"

class TXWParent;

namespace serverconfig {

class PrintingPage : public ui::WConfigLayout {
public:
  static const int statusWidth = 310;
  static const int statusHeight = 150;

  // With no printing system the bound printing library and the installed
  // backend are asked.
  PrintingPage(_XDisplay* dpy, TXWParent* owner, OptionsDialog::Callback* callback,
               plat::ParameterSet* set, plat::ParameterSet* target,
               PrintingPageModel::PrintingSystem* system = nullptr);
  ~PrintingPage() override;

  // Every click on the page stores the share box into
  // "EnableRemotePrinting" and rebuilds the status.
  bool onClick(wvw::Widget* source) override;
  // The status label comes last: then the share box is loaded and the
  // status built.
  bool onAttach(wvw::Widget* source) override;

  void updateStatus();

  wvw::WLabelCheckBox* shareBox() { return &share_; }
  wvw::WLabelCheckBox* defaultBox() { return &changeDefault_; }
  wvw::WLabel* statusLabel() { return &status_; }

private:
  void layOut();
  // The boxes and the label show the model's state.
  void showModel();

  OptionsDialog::Callback* callback_;
  wvw::WLabelCheckBox share_;
  wvw::WLabelCheckBox changeDefault_;
  wvw::WLabel status_;
  PrintingPageModel model_;
};

} // namespace serverconfig
