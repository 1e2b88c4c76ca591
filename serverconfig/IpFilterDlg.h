// The dialog that adds or edits one host rule: the action (accept, reject,
// ask the desktop user) and, for an ordinary rule, the IPv4 address or subnet
// it applies to. It works on a copy of the rule, the working entry, which its
// owner reads after it ended with OK. An invalid rule is reported in the
// dialog's error box and the dialog stays open. One dialog is built for the
// Default entry (no address field, no notes) and one for other rules. The
// widgets, the working entry and the error box are owned.
#pragma once

#include "serverconfig/AccessControlEntry.h"

#include "tx/TXDialog.h"
#include "tx/TXMsgBox.h"

#include "wvw/WInputHandler.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"
#include "wvw/WLabelCheckBox.h"
#include "wvw/WPanel.h"
#include "wvw/WText.h"

namespace serverconfig {

class IpFilterDlg : public TXDialog, public wvw::WInputHandler, public TXDialog::Callback {
public:
  // The width the layout is reckoned from, and the most the address field
  // takes.
  static const int baseWidth = 350;
  static const int maxAddressLength = 128;

  IpFilterDlg(Display* dpy, bool forDefault);
  ~IpFilterDlg() override;

  // Titles the window "Add Rule" for a blank entry, else "Edit Rule". When
  // the dialog is not shown, the working entry becomes a copy of entry and
  // an ordinary rule's address field shows its pattern. Then shows the
  // dialog (not modal: returns at once).
  void editEntry(const AccessControlEntry& entry);
  // Checks the radio button of the working entry's action.
  void initDialog() override;
  // The radio buttons (one at a time), OK (checks the rule; ends with true
  // when it is valid, else shows why) and Cancel (ends with false).
  bool onClick(wvw::Widget* source) override;
  // The error box was closed: input is taken again.
  void dialogFinished(TXDialog* dialog, bool result) override;

  const AccessControlEntry& entry() const { return entry_; }
  bool isForDefault() const { return forDefault_; }

  wvw::WLabel* heading() { return &heading_; }
  wvw::WText* addressField() { return &address_; }
  wvw::WLabelCheckBox* acceptButton() { return &accept_; }
  wvw::WLabelCheckBox* rejectButton() { return &reject_; }
  wvw::WLabelCheckBox* queryButton() { return &query_; }
  wvw::WPanel* notesPanel() { return &notes_; }
  wvw::WLabel* notesLabel() { return &notesLabel_; }
  wvw::WLabelButton* okButton() { return &ok_; }
  wvw::WLabelButton* cancelButton() { return &cancel_; }
  TXMsgBox* errorBox() { return &errorBox_; }

private:
  void layOut();
  void checkOnly(wvw::WLabelCheckBox* box);
  AccessControlEntry::Action chosenAction();

  bool forDefault_;
  wvw::WLabel heading_;
  wvw::WText address_;
  wvw::WLabel shouldLabel_;
  wvw::WLabelCheckBox accept_;
  wvw::WLabelCheckBox reject_;
  wvw::WLabelCheckBox query_;
  wvw::WPanel notes_;
  wvw::WLabel notesLabel_;
  wvw::WLabelButton ok_;
  wvw::WLabelButton cancel_;
  AccessControlEntry entry_;
  TXMsgBox errorBox_;
};

} // namespace serverconfig
