// The dialog in which the user picks local files or a local folder: a
// scrolling file list of the current directory, a prompt, a "Path:" field
// with completion, a "Show hidden items" check box, "OK" and "Cancel". The
// directory browser (not owned) supplies the entries and decides whether the
// current choice is acceptable; "OK" is enabled only while it is. The owner
// hears of the end through the dialog's TXDialog::Callback and then reads
// the chosen paths. The widgets and the error box are owned members.
#pragma once

#include "ui/DirBrowser.h"
#include "ui/WFileList.h"

#include "tx/TXDialog.h"
#include "tx/TXMsgBox.h"

#include "plat/String.h"
#include "wvw/WInputHandler.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"
#include "wvw/WLabelCheckBox.h"
#include "wvw/WScrollView.h"
#include "wvw/WTextAutocomplete.h"

#include <string>
#include <vector>

namespace ui {

// The path with its existing leading directories resolved (symbolic links,
// "." and ".." taken out) and the part that does not exist kept as typed; a
// path of which nothing resolves is returned as it is. Null for an empty or
// null path.
plat::String resolvePath(const char* path);

class WFileDialog : public TXDialog,
                    public wvw::WInputHandler,
                    public WFileList::Callback,
                    public TXDialog::Callback {
public:
  WFileDialog(Display* dpy, bool modal, TXWindow* transientFor = nullptr);
  ~WFileDialog() override;

  // The browser whose directory the dialog shows (not owned; null: none).
  // The path field shows its path; the check box its ShowHidden flag.
  void setItemGetter(DirBrowser* browser);
  // Whether several entries may be selected.
  void setMode(bool multiple);
  void setPrompt(const char* text);
  void setTitle(const char* title);
  // The selected entries (but "..") as paths in the current directory, in
  // list order; with none, the path field's text as it is.
  void getSelectedPaths(std::vector<plat::String>* paths);
  // The path field's text resolved (resolvePath); null when it is empty.
  plat::String getResolvedPath();

  // WFileList::Callback
  void itemActivated(WFileList* list, WFileList::Item* item) override;
  void selectionChanged(WFileList* list, WFileList::Item* item) override;

  // wvw::WInputHandler
  bool onKey(uint32_t keysym, bool down, wvw::Widget* source) override;
  bool onChange(wvw::Widget* source) override;
  bool onSizeChange(wvw::Widget* source) override;
  bool onClick(wvw::Widget* source) override;
  bool onAttach(wvw::Widget* source) override;
  bool onDetach(wvw::Widget* source) override;

  // End the dialog with result true or false (nothing when already done).
  virtual void accept();
  virtual void cancel();

  // TXDialog::Callback: the error box was closed; input is enabled again.
  void dialogFinished(TXDialog* dialog, bool result) override;

  WFileList* fileList() { return &list_; }
  wvw::WScrollView* scrollView() { return &scroll_; }
  wvw::WTextAutocomplete* pathField() { return &pathField_; }
  wvw::WLabel* promptLabel() { return &prompt_; }
  wvw::WLabel* pathLabel() { return &pathLabel_; }
  wvw::WLabelCheckBox* hiddenCheckBox() { return &hidden_; }
  wvw::WLabelButton* okButton() { return &ok_; }
  wvw::WLabelButton* cancelButton() { return &cancel_; }
  TXMsgBox* errorBox() { return &errorBox_; }
  DirBrowser* itemGetter() const { return browser_; }
  bool isAttached() const { return attached_; }
  bool inputDisabled() const { return inputDisabled_; }

private:
  // The browser's path with "/" appended unless it ends with one.
  std::string currentDirText() const;
  // The browser's path, "/" unless it is empty or ends with one, and name.
  std::string pathIn(const std::string& name) const;
  // Lists the browser's directory. A listing for an edit of the path field
  // leaves the field as the user typed it and offers completions after the
  // directory as typed (typedDir); any other shows the current directory in
  // the field. skipRefresh: the list was refreshed already.
  void listDirectory(bool forEdit, const std::string& typedDir = std::string(),
                     bool skipRefresh = false);
  void setCompletions(const std::string& prefix);
  // The path field shows text (only when it differs).
  void setFieldText(const std::string& text);
  void fitList();
  void layOut();
  void updateOk();
  void pathEdited();
  // Control+BackSpace and Control+Delete in the path field.
  void selectPathComponent(bool backwards);
  void clickOk();

  wvw::WScrollView scroll_;
  WFileList list_;
  wvw::WLabel prompt_;
  wvw::WLabel pathLabel_;
  wvw::WTextAutocomplete pathField_;
  wvw::WLabelCheckBox hidden_;
  wvw::WLabelButton ok_;
  wvw::WLabelButton cancel_;
  bool attached_;
  bool followSelection_;
  DirBrowser* browser_;
  // The directory text before the names offered as completions.
  std::string completionPrefix_;
  TXMsgBox errorBox_;
};

} // namespace ui
