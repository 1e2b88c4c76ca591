// The "File Transfer" window: the downloads window in a scrolling viewport,
// "Send files..." (offers chosen files to every connected user), "Clear"
// (forgets the ended downloads) and "Fetch files to:" (where pushed files
// are saved). It asks for a folder whenever the auto-downloader needs one,
// one request at a time, and pops up a notice when downloads finish or fail.
// The auto-downloader and the upload manager are borrowed; the downloads
// window, the file dialogs and their browsers, the message box and the
// notices are owned. One reference is held to each share waiting for a
// folder.
#pragma once

#include "ft/ui/DownloadsUI.h"

#include "ft/ActiveShareAutoDownloader.h"
#include "ui/DirBrowser.h"
#include "ui/HalbrinLogo.h"
#include "ui/NotificationDialog.h"
#include "ui/WFileDialog.h"

#include "tx/TXDialog.h"
#include "tx/TXMsgBox.h"
#include "wvw/Style.h"
#include "wvw/WChoice.h"
#include "wvw/WInputHandler.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"
#include "wvw/WLabelMarkedUp.h"
#include "wvw/WViewport.h"

#include "plat/MarkUp.h"

#include <list>
#include <memory>
#include <string>

namespace ft {

class ShareProxy;
class UploadManager;

// A file-transfer notice: the product logo beside a marked-up text whose
// link goes to the file-transfer dialog.
class NotifyDlg : public ui::NotificationDialog {
public:
  // The width of the text beside the logo.
  static constexpr int textWidth = 180;

  NotifyDlg(Display* dpy, const char* text, plat::MarkUp::LinkCallback* linkCallback);
  ~NotifyDlg() override;

  void setText(const char* text);
  wvw::WLabelMarkedUp* label() { return &label_; }

private:
  ui::HalbrinLogo logo_;
  wvw::Style labelStyle_;
  wvw::WLabelMarkedUp label_;
};

class FileTransferDialog : public TXDialog,
                           public wvw::WInputHandler,
                           public DownloadsUI::Container,
                           public plat::MarkUp::LinkCallback,
                           public ActiveShareAutoDownloader::GetDirCallback {
public:
  // The ids of the "Fetch files to:" items.
  enum FetchItem : int32_t { AskEveryTime = 0, CurrentFolder = 1, DefaultFolder = 2, Other = 3 };
  // How long a notice stays up, in ms.
  static constexpr int notifyMs = 4000;

  FileTransferDialog(Display* dpy, ActiveShareAutoDownloader* autoDownloader,
                     UploadManager* shareTarget);
  ~FileTransferDialog() override;

  // "Send files..." is usable only while someone may receive them.
  void setSendEnabled(bool enabled);
  // The per-user configuration file into which a changed fetch folder is
  // written; none (empty) at first.
  void setConfigFile(const char* path);
  const std::string& getConfigFile() const { return configFile; }

  void setClearEnabled(bool enabled) override;
  void showCompleteNotification();
  void showFailedNotification();

  // A folder as the user reads it: relative to the home folder when inside
  // it, otherwise whole.
  static std::string displayFolder(const std::string& folder, const std::string& home);
  // The label cut at its start, behind "...", to what a field width pixels
  // wide shows in the font; a label that fits comes back whole.
  static std::string fittedLabel(const std::string& label, wvw::Font* font, int width);

  // wvw::WInputHandler
  bool onSizeChange(wvw::Widget* source) override;
  bool onClick(wvw::Widget* source) override;
  bool onChange(wvw::Widget* source) override;
  // TXDialog::Callback: one of the dialogs on top of this one ended.
  void dialogFinished(TXDialog* dialog, bool result) override;
  // plat::MarkUp::LinkCallback: a notice's link shows this dialog.
  void linkClicked(int link) override;
  // ActiveShareAutoDownloader::GetDirCallback
  void getDir(ShareProxy* share) override;

  // DownloadsUI::Container
  TXDialog* dialog() override { return this; }
  void notifyComplete() override { showCompleteNotification(); }
  void notifyFailed() override { showFailedNotification(); }
  void showError(const char* text) override;

  DownloadsUI* getDownloadsUI() { return downloadsUI.get(); }
  wvw::WViewport* getViewport() { return &viewport; }
  wvw::WLabelButton* getSendButton() { return &sendButton; }
  wvw::WLabelButton* getClearButton() { return &clearButton; }
  wvw::WLabel* getFetchLabel() { return &fetchLabel; }
  wvw::WChoice* getFetchChoice() { return &fetchChoice; }
  ui::WFileDialog* getSendDialog() { return &sendDialog; }
  ui::WFileDialog* getFolderDialog() { return &folderDialog; }
  ui::DirBrowser* getFolderBrowser() { return &folderBrowser; }
  TXMsgBox* getMessageBox() { return &messageBox; }
  NotifyDlg* getCompleteNotify() { return &completeNotify; }
  NotifyDlg* getFailedNotify() { return &failedNotify; }
  bool isChoosingFolder() const { return choosingFolder; }
  size_t pendingCount() const { return pendingRequests.size(); }

private:
  void layOut();
  // Fills the "Fetch files to:" items and selects the one in force.
  void fillFetchChoice();
  // A folder's label as the fetch choice's field can show it whole.
  std::string fetchLabelOf(const std::string& label);
  // Selects the item in force again (without acting on it).
  void selectCurrent();
  void fetchChoiceChanged();
  // Sets "FetchDir" (and the configuration file's entry) to the value.
  void setFetchDir(const std::string& value);
  void sendChosenFiles();
  void folderChosen(bool ok);
  // Shows the folder dialog for the first pending request, unless it is up.
  void askNextFolder();
  // Takes the first pending request off the list and gives it back.
  ShareProxy* takeFirstRequest();
  // Whether a dialog of this one is still up, so input stays disabled.
  bool anyDialogUp() const;

  ActiveShareAutoDownloader* autoDownloader;
  wvw::WViewport viewport;
  std::unique_ptr<DownloadsUI> downloadsUI;
  UploadManager* shareTarget;
  ui::DirBrowser sendBrowser;
  ui::WFileDialog sendDialog;
  TXMsgBox messageBox;
  wvw::WLabelButton sendButton;
  wvw::WLabelButton clearButton;
  wvw::WLabel fetchLabel;
  wvw::WChoice fetchChoice;
  ui::DirBrowser folderBrowser;
  ui::WFileDialog folderDialog;
  bool choosingFolder = false;
  bool sending = false;
  bool messageShown = false;
  // Set while the choice is changed from here: its change is not the user's.
  bool settingChoice = false;
  NotifyDlg completeNotify;
  NotifyDlg failedNotify;
  std::string configFile;
  std::list<ShareProxy*> pendingRequests;
};

} // namespace ft
