// The chat options dialog ("Options"): whether chat lines are kept, and for
// how many days or how many lines. Edits go into a working copy of the chat
// settings; OK writes the settings that differ from the live ones into the
// chat configuration file and then puts them into effect, Cancel and the
// window manager's close forget them. The dialog is not modal: it reports
// its end to its callback. The controls, the working copy and the error box
// are owned; the live settings and the parent window are not.
#pragma once

#include "chat/ErrorBox.h"
#include "tx/TXDialog.h"
#include "tx/TXMsgBox.h"
#include "ui/WConfigLayout.h"
#include "wvw/WChoice.h"
#include "wvw/WInputHandler.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"
#include "wvw/WLabelCheckBox.h"
#include "wvw/WPanel.h"
#include "wvw/WRangeText.h"

#include "plat/ParameterSet.h"

#include <memory>
#include <string>

class ChatOptions;

class OptionsDlg : public TXDialog, public wvw::WInputHandler, public TXDialog::Callback {
public:
  // Ids of the unit choice's items.
  enum Unit { Days = 0, Messages = 1 };
  static constexpr int buttonWidth = 76;
  static constexpr int buttonHeight = 26;

  // configFile is the chat configuration file that OK writes.
  OptionsDlg(Display* dpy, ChatOptions* options, TXWindow* parent, const char* configFile);
  ~OptionsDlg() override;

  // The window manager's close: the edits are forgotten.
  void deleteWindow(TXWindow* window) override;
  // Each time the dialog comes up, the expiry controls show the live
  // settings.
  bool onAttach(wvw::Widget* source) override;
  // "OK" saves and applies the edits, "Cancel" forgets them. A failure to
  // save is shown in an error box and the dialog stays open.
  bool onClick(wvw::Widget* source) override;
  bool onChange(wvw::Widget* source) override;
  // The error box was closed: the dialog takes input again.
  void dialogFinished(TXDialog* dialog, bool result) override;

  plat::ParameterSet* workingSet() { return &working_; }
  wvw::WLabelCheckBox* keepHistoryBox() { return &keepHistory_; }
  wvw::WLabel* keepLastLabel() { return &keepLast_; }
  wvw::WRangeText* numberField() { return &number_; }
  wvw::WChoice* unitChoice() { return &unit_; }
  wvw::WPanel* panel() { return &panel_; }
  wvw::WLabelButton* okButton() { return &ok_; }
  wvw::WLabelButton* cancelButton() { return &cancel_; }
  // The error box of the last failed save; null before the first.
  TXMsgBox* errorBox() { return errorBox_.box(); }

private:
  void layOut();
  // The expiry controls are usable only while history is kept.
  void applyEnabling();
  // Writes the number and unit into the working copy.
  void storeExpiry();
  // The working copy takes the live settings again.
  void forgetEdits();

  plat::ParameterSet working_;
  ui::WConfigLayout layout_;
  wvw::WPanel panel_;
  wvw::WLabelCheckBox keepHistory_;
  wvw::WLabel keepLast_;
  wvw::WRangeText number_;
  wvw::WChoice unit_;
  wvw::WLabelButton ok_;
  wvw::WLabelButton cancel_;
  ChatOptions* options_;
  std::string configFile_;
  chat::ErrorBox errorBox_{dpy_, this, this, this};
  // Set while the controls are loaded from the live settings: that is no
  // edit, and must not reach the working copy.
  bool loading_ = false;
};
