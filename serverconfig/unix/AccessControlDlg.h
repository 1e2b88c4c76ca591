// "IP Address Filter Rules": the dialog in which the desktop user edits the
// server's host rules ("Hosts"): it reads the rules from a parameter set
// into a list, lets the user add, edit, remove and reorder them, and writes
// the list back into the same set (at priority 50) when OK is pressed; it
// sends nothing to the server itself. A rule is added or edited in one of
// two rule dialogs, one for the Default entry and one for other rules. The
// dialog owns its widgets, its rule list and both rule dialogs; the
// parameter set belongs to the caller.
#pragma once

#include "serverconfig/AccessControlList.h"
#include "serverconfig/IpFilterDlg.h"

#include "tx/TXDialog.h"
#include "ui/TooltipHandler.h"

#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"
#include "wvw/WListBox.h"

#include <memory>

namespace plat {
class ParameterSet;
}

namespace serverconfig {

class AccessControlDlg : public TXDialog,
                         public TXDialog::Callback,
                         public ui::TooltipHandler,
                         public wvw::WListBox::ItemGetter {
public:
  static const int baseWidth = 300;
  static const int listHeight = 100;

  explicit AccessControlDlg(Display* dpy);
  ~AccessControlDlg() override;

  // Shows the dialog over c (not modal: returns at once). Shown while not
  // on screen, it reads the rules from c's "Hosts" again (throws
  // plat::Exception when c has none); while on screen it must be shown for
  // the same set (plat::AssertionFail otherwise).
  void showFor(plat::ParameterSet* c);
  // Sets the tooltips and fills the list.
  void initDialog() override;
  // A rule dialog ended: its rule goes into the list when it ended with OK.
  void dialogFinished(TXDialog* dialog, bool result) override;
  bool onClick(wvw::Widget* source) override;

  const char* getItemText(wvw::WListBox* list, int index) override;
  int getItemCount(wvw::WListBox* list) override;

  const AccessControlList& rules() const { return rules_; }
  wvw::WListBox* list() { return &list_; }
  wvw::WLabel* explanation() { return &explanation_; }
  wvw::WLabelButton* addButton() { return &add_; }
  wvw::WLabelButton* editButton() { return &edit_; }
  wvw::WLabelButton* removeButton() { return &remove_; }
  wvw::WLabelButton* upButton() { return &up_; }
  wvw::WLabelButton* downButton() { return &down_; }
  wvw::WLabelButton* okButton() { return &ok_; }
  wvw::WLabelButton* cancelButton() { return &cancel_; }
  IpFilterDlg* defaultRuleDialog() { return defaultDlg_.get(); }
  IpFilterDlg* ruleDialog() { return ruleDlg_.get(); }

private:
  void layOut();
  // The list reads its rows again and shows the selection (none when the
  // selected row is gone); then the buttons follow.
  void refreshList();
  void updateButtons();
  void openRuleDialog(const AccessControlEntry& entry);

  wvw::WListBox list_;
  wvw::WLabel explanation_;
  wvw::WLabelButton add_;
  wvw::WLabelButton edit_;
  wvw::WLabelButton remove_;
  wvw::WLabelButton up_;
  wvw::WLabelButton down_;
  wvw::WLabelButton ok_;
  wvw::WLabelButton cancel_;
  AccessControlList rules_;
  bool adding_;
  plat::ParameterSet* config_;
  std::unique_ptr<IpFilterDlg> defaultDlg_;
  std::unique_ptr<IpFilterDlg> ruleDlg_;
};

} // namespace serverconfig
