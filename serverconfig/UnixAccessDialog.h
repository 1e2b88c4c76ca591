// "Permissions for Zav Server": the system users and groups that may connect
// to the server and their rights, edited in the parameters "AllowedUsers"
// and "AllowedGroups" of the options dialog's working set (written at
// priority 50 on OK; Cancel drops every change since the dialog was last
// shown). Each entry keeps its letters as read until its rights are edited
// here. Not modal. Owns its widgets, the lists and its error box; the
// parameter set and the parent window are the caller's.
#pragma once

#include "serverconfig/UnixAccessModel.h"

#include "tx/TXDialog.h"
#include "tx/TXMsgBox.h"
#include "ui/WEditListBox.h"

#include "wvw/WInputHandler.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"
#include "wvw/WLabelCheckBox.h"
#include "wvw/WTabSheets.h"

#include <array>
#include <memory>
#include <string>

namespace plat {
class ParameterSet;
}

namespace serverconfig {

class UnixAccessDialog : public TXDialog,
                         public wvw::WInputHandler,
                         public wvw::WTabSheets::Callback,
                         public ui::WEditListBox::Callback {
public:
  // Looks up the current user and loads both lists; nothing is shown.
  UnixAccessDialog(Display* dpy, TXWindow* parent, plat::ParameterSet* params);
  ~UnixAccessDialog() override;

  // Reloads both lists from the parameters and shows the window; entries
  // kept as read despite bad letters are reported in the error box.
  void show();
  void loadLists();

  // The user database name of the real user, null until a lookup worked.
  static const char* currentUser();

  bool sheetChanging(int oldIndex, int newIndex) override;
  // A name that cannot go into a "name:letters" list is refused in the
  // error box and taken out of the list box again.
  void itemAdded(const char* text, ui::WEditListBox* list) override;
  void itemRenamed(const char* oldText, const char* newText, ui::WEditListBox* list) override;
  void itemSelected(const char* text, ui::WEditListBox* list) override;
  void selectionCleared(ui::WEditListBox* list) override;
  bool onClick(wvw::Widget* source) override;

  const UnixAccessModel& model() const { return model_; }
  wvw::WTabSheets* tabSheets() { return &tabs_; }
  ui::WEditListBox* listBox(UnixAccessModel::List list) {
    return list == UnixAccessModel::Users ? &users_ : &groups_;
  }
  wvw::WLabelButton* addButton() { return &add_; }
  wvw::WLabelButton* removeButton() { return &remove_; }
  wvw::WLabel* permissionsLabel() { return &label_; }
  wvw::WLabelCheckBox* box(int i) { return boxes_[size_t(i)].get(); }
  wvw::WLabelButton* okButton() { return &ok_; }
  wvw::WLabelButton* cancelButton() { return &cancel_; }
  TXMsgBox* errorBox() { return error_.get(); }
  const char* shownEntry() const { return hasShown_ ? shown_.c_str() : nullptr; }

private:
  UnixAccessModel::List currentList();
  UnixAccessModel::List listOf(ui::WEditListBox* list);
  void showRights(std::uint16_t rights);
  UnixAccessModel::Boxes boxStates();
  void setBoxesEnabled(bool enabled);
  void storeSelected();
  void reportError(const char* text);
  // The dialog's end: unmaps and tells the callback.
  void finish(bool result);
  // The error box was closed: input comes back.
  void errorBoxClosed();

  class ErrorBoxCallback : public TXDialog::Callback {
  public:
    explicit ErrorBoxCallback(UnixAccessDialog* dialog) : dialog_(dialog) {}
    void dialogFinished(TXDialog*, bool) override { dialog_->errorBoxClosed(); }

  private:
    UnixAccessDialog* dialog_;
  };

  plat::ParameterSet* params_;
  UnixAccessModel model_;
  std::string loadProblems_;
  std::string shown_;
  bool hasShown_;
  wvw::WTabSheets tabs_;
  ui::WEditListBox users_;
  ui::WEditListBox groups_;
  wvw::WLabelButton add_;
  wvw::WLabelButton remove_;
  wvw::WLabel label_;
  std::array<std::unique_ptr<wvw::WLabelCheckBox>, UnixAccessModel::boxCount> boxes_;
  wvw::WLabelButton ok_;
  wvw::WLabelButton cancel_;
  ErrorBoxCallback errorCallback_;
  std::unique_ptr<TXMsgBox> error_;
};

} // namespace serverconfig
