#include "ft/ui/FileTransferDialog.h"

#include "wvw/Font.h"

#include "ft/MsgType.h"
#include "ft/ShareProxy.h"
#include "ft/UploadManager.h"
#include "ft/unix/ShareWriter.h"
#include "plat/StringUtils.h"

#include "tx/TXWRootLayout.h"

#include "plat/ConfigurationFile.h"
#include "plat/DString.h"
#include "plat/DirName.h"
#include "plat/Exception.h"
#include "plat/FileOps.h"
#include "plat/LogWriter.h"
#include "plat/StringParameter.h"
#include "plat/unix/Passwd.h"

#include <unistd.h>

#include <algorithm>
#include <vector>

static plat::LogWriter vlog("FileTransferDialog");

namespace ft {

namespace {

// The priority at which the dialog sets "FetchDir".
const int fetchDirPriority = 50;

// The home folder of the user running the program; empty when the user
// database has no entry for it.
std::string homeFolder() {
  os::Passwd user(getuid());
  if (!user.isValid())
    return std::string();
  return user.getHomeDir();
}

// The fetch folder in force; whether there is one (false when it cannot be
// determined).
bool currentFetchDir(std::string* folder) {
  try {
    *folder = ActiveShareAutoDownloader::getFetchDir();
    return true;
  } catch (plat::Exception&) {
    return false;
  }
}

} // namespace

// ---------------------------------------------------------------------------
// The notices

NotifyDlg::NotifyDlg(Display* dpy, const char* text, plat::MarkUp::LinkCallback* linkCallback)
    : ui::NotificationDialog(dpy), labelStyle_(*wvw::Widget::getDefaultStyle()),
      label_(linkCallback, text) {
  const int b = borderWidth;
  const int lw = ui::HalbrinLogo::logoWidth, lh = ui::HalbrinLogo::logoHeight;
  labelStyle_.background = wvw::Widget::White;
  label_.setStyle(&labelStyle_);
  layout_.addChildSized(&logo_, rfb::Rect(b, b, b + lw, b + lh));
  layout_.addChildSized(&label_, rfb::Rect(lw + b, b, lw + b + textWidth, lh));
  layout_.setSize(lw + 2 * b + textWidth, lh + 2 * b);
}

NotifyDlg::~NotifyDlg() {
  layout_.removeChild(&label_);
  layout_.removeChild(&logo_);
}

void NotifyDlg::setText(const char* text) {
  label_.setText(text);
}

// ---------------------------------------------------------------------------
// The dialog

FileTransferDialog::FileTransferDialog(Display* dpy, ActiveShareAutoDownloader* autoDownloader_,
                                       UploadManager* shareTarget_)
    : TXDialog(dpy, 480, 330, "File Transfer - Zav Server", false, true),
      autoDownloader(autoDownloader_), shareTarget(shareTarget_), sendDialog(dpy, false, this),
      messageBox(dpy, "", TXMsgBox::IconError | TXMsgBox::OK, "File Transfer", false, this),
      sendButton("Send files..."), clearButton("Clear"), fetchLabel("Fetch files to:"),
      fetchChoice(TXWRootLayout::get(dpy), false, false, 255), folderDialog(dpy, false, this),
      completeNotify(dpy, DownloadsDialog::completeNotification(), this),
      failedNotify(dpy, DownloadsDialog::failedNotification(), this) {
  setMinSize(400, 150);

  downloadsUI.reset(new DownloadsUI(autoDownloader, this, &viewport));
  viewport.setViewportChild(downloadsUI.get());
  viewport.setChild(downloadsUI.get());

  sendBrowser.setPath(".");
  sendDialog.setItemGetter(&sendBrowser);
  sendDialog.setMode(true);
  sendDialog.setTitle("Send files");
  sendDialog.setCallback(this);

  messageBox.setCallback(this);

  folderBrowser.setPath(".");
  folderBrowser.setFlags(ui::DirBrowser::MustBeWritable);
  // The folder requests of the auto-downloader show this dialog too, so it
  // has its browser from the start.
  folderDialog.setItemGetter(&folderBrowser);
  folderDialog.setTitle("Choose folder");
  folderDialog.setCallback(this);

  clearButton.setEnabled(false);
  fetchLabel.setAlignment(2, 1);

  content_.addChild(&viewport);
  content_.addChild(&sendButton);
  content_.addChild(&clearButton);
  content_.addChild(&fetchLabel);
  content_.addChild(&fetchChoice);
  int w = 0, h = 0;
  // The buttons keep some space round their labels.
  const int buttonXPad = 8, buttonYPad = 2;
  sendButton.getPreferredSize(&w, &h);
  sendButton.setSize(w + 2 * buttonXPad, h + 2 * buttonYPad);
  clearButton.getPreferredSize(&w, &h);
  clearButton.setSize(w + 2 * buttonXPad, h + 2 * buttonYPad);
  fetchLabel.getPreferredSize(&w, &h);
  fetchLabel.setSize(w, h);
  content_.setInputHandler(this);

  autoDownloader->setGetDirCallback(this);
  layOut();
  fillFetchChoice();
}

FileTransferDialog::~FileTransferDialog() {
  if (autoDownloader->getGetDirCallback() == this)
    autoDownloader->setGetDirCallback(nullptr);
  for (ShareProxy* share : pendingRequests)
    share->unref();
  pendingRequests.clear();
  content_.setInputHandler(nullptr);
  // The downloads window goes before the viewport that shows it.
  viewport.setChild(nullptr);
  viewport.setViewportChild(nullptr);
  downloadsUI.reset();
  content_.removeChild(&fetchChoice);
  content_.removeChild(&fetchLabel);
  content_.removeChild(&clearButton);
  content_.removeChild(&sendButton);
  content_.removeChild(&viewport);
}

std::string FileTransferDialog::displayFolder(const std::string& folder, const std::string& home) {
  if (home.empty())
    return folder;
  std::string prefix = home + "/";
  if (folder.size() > prefix.size() && folder.compare(0, prefix.size(), prefix) == 0)
    return folder.substr(prefix.size());
  return folder;
}

void FileTransferDialog::setSendEnabled(bool enabled) {
  sendButton.setEnabled(enabled);
}

void FileTransferDialog::setConfigFile(const char* path) {
  std::string value = path ? path : "";
  if (value != configFile)
    configFile = value;
}

void FileTransferDialog::setClearEnabled(bool enabled) {
  clearButton.setEnabled(enabled);
}

void FileTransferDialog::showCompleteNotification() {
  completeNotify.popUp(notifyMs);
}

void FileTransferDialog::showFailedNotification() {
  failedNotify.popUp(notifyMs);
}

void FileTransferDialog::linkClicked(int) {
  show();
}

void FileTransferDialog::layOut() {
  const int mx = xPad, my = yPad;
  const int W = content_.width(), H = content_.height();
  int rowTop = H - my - clearButton.height();
  content_.moveChild(&sendButton, rfb::Point(mx, rowTop));
  int x = mx + sendButton.width() + mx;
  content_.moveChild(&clearButton, rfb::Point(x, rowTop));
  x += clearButton.width() + 3 * mx;
  content_.moveChild(&fetchLabel, rfb::Point(x, rowTop));
  fetchLabel.setSize(fetchLabel.width(), clearButton.height());
  x += fetchLabel.width() + mx;
  content_.moveChild(&fetchChoice, rfb::Point(x, rowTop));
  fetchChoice.setSize(std::max(0, W - mx - x), std::max(0, H - my - rowTop));
  content_.moveChild(&viewport, rfb::Point(mx, my));
  viewport.setSize(std::max(0, W - 2 * mx), std::max(0, rowTop - 2 * my));
}

bool FileTransferDialog::onSizeChange(wvw::Widget* source) {
  if (source != &content_)
    return false;
  layOut();
  // The folder labels are cut to the field's new width (not while a folder
  // is being chosen: the choice shows "Other..." then).
  if (!choosingFolder)
    fillFetchChoice();
  return true;
}

std::string FileTransferDialog::fittedLabel(const std::string& label, wvw::Font* font, int width) {
  if (!font || width <= 0 || font->textWidth(label.c_str()) <= width)
    return label;
  static const char dots[] = "...";
  // Drop whole characters from the start until the rest fits behind "...".
  for (size_t at = 1; at < label.size(); at++) {
    if ((static_cast<unsigned char>(label[at]) & 0xc0) == 0x80)
      continue;
    std::string cut = dots + label.substr(at);
    if (font->textWidth(cut.c_str()) <= width)
      return cut;
  }
  return dots;
}

std::string FileTransferDialog::fetchLabelOf(const std::string& label) {
  wvw::Widget* field = fetchChoice.getTextField();
  // The field's text stands a few pixels in from its frame on both sides.
  return fittedLabel(label, field->getStyle()->font, field->width() - 8);
}

void FileTransferDialog::fillFetchChoice() {
  bool asking = ActiveShareAutoDownloader::askEveryTime();
  std::string home = homeFolder();
  std::string defaultLabel;
  bool haveDefault = false;
  try {
    defaultLabel = displayFolder(ActiveShareAutoDownloader::defaultFetchDir(), home);
    haveDefault = true;
  } catch (plat::Exception& e) {
    vlog.error("No default download folder: %s", e.str());
  }

  settingChoice = true;
  for (int32_t id = AskEveryTime; id <= Other; id++)
    fetchChoice.removeItem(id);
  fetchChoice.addItem(AskEveryTime, "Ask every time");
  bool currentIsDefault = false;
  if (!asking) {
    std::string folder;
    if (currentFetchDir(&folder)) {
      std::string label = displayFolder(folder, home);
      currentIsDefault = haveDefault && label == defaultLabel;
      fetchChoice.addItem(CurrentFolder, fetchLabelOf(label).c_str());
    } else {
      fetchChoice.addItem(CurrentFolder, "Download directory unavailable.");
    }
  }
  if (haveDefault && !currentIsDefault)
    fetchChoice.addItem(DefaultFolder, fetchLabelOf(defaultLabel).c_str());
  fetchChoice.addItem(Other, "Other...");
  fetchChoice.setSelectedId(asking ? AskEveryTime : CurrentFolder);
  settingChoice = false;
}

void FileTransferDialog::selectCurrent() {
  settingChoice = true;
  fetchChoice.setSelectedId(ActiveShareAutoDownloader::askEveryTime() ? AskEveryTime
                                                                      : CurrentFolder);
  settingChoice = false;
}

bool FileTransferDialog::onChange(wvw::Widget* source) {
  if (source != &fetchChoice)
    return false;
  if (!settingChoice)
    fetchChoiceChanged();
  return true;
}

void FileTransferDialog::fetchChoiceChanged() {
  try {
    switch (fetchChoice.getSelectedId()) {
    case AskEveryTime:
      setFetchDir("?");
      break;
    case DefaultFolder:
      setFetchDir("");
      break;
    case Other: {
      selectCurrent();
      if (!ActiveShareAutoDownloader::askEveryTime())
        folderBrowser.setPath(ActiveShareAutoDownloader::getFetchDir().c_str());
      choosingFolder = true;
      // No request is waiting (the dialog takes no input while one is): the
      // prompt of an earlier one would name the wrong files.
      folderDialog.setPrompt("");
      folderDialog.setItemGetter(&folderBrowser);
      setInputDisabled(true);
      folderDialog.show();
      break;
    }
    default:
      // The folder in force, or a text typed into the field.
      selectCurrent();
      break;
    }
  } catch (plat::Exception& e) {
    selectCurrent();
    vlog.error("%s", e.str());
    showError(e.str());
  }
}

void FileTransferDialog::setFetchDir(const std::string& value) {
  std::string current;
  if (value == ActiveShareAutoDownloader::fetchDir.c_str() ||
      (currentFetchDir(&current) && current == value))
    return;
  ActiveShareAutoDownloader::fetchDir.setParam(value.c_str(), fetchDirPriority);
  try {
    if (!configFile.empty()) {
      plat::DirName dir(configFile.c_str());
      plat::mkDirWithParents(dir.c_str(), false, false);
      plat::ConfigurationFile::setValue(configFile.c_str(), "FetchDir", value.c_str());
    }
  } catch (...) {
    // The folder is in force for this run even when it could not be saved:
    // the choice shows it.
    fillFetchChoice();
    throw;
  }
  fillFetchChoice();
}

bool FileTransferDialog::onClick(wvw::Widget* source) {
  if (source == &sendButton) {
    sending = true;
    setInputDisabled(true);
    sendDialog.show();
    return true;
  }
  if (source == &clearButton) {
    downloadsUI->clearFinished();
    return true;
  }
  return false;
}

void FileTransferDialog::sendChosenFiles() {
  std::vector<plat::String> paths;
  sendDialog.getSelectedPaths(&paths);
  std::vector<plat::String> resolved;
  for (const plat::String& p : paths) {
    if (p.isNull() || !*p.c_str())
      continue;
    plat::String r = ui::resolvePath(p.c_str());
    if (!r.isNull() && *r.c_str())
      resolved.push_back(r);
  }
  if (resolved.empty())
    return;
  // The share is finished and offered when the writer goes, also after a
  // path that failed: what was added by then is sent.
  ShareWriter writer(shareTarget, shareFetchAtOnce);
  for (const plat::String& p : resolved)
    writer.addPath(p.c_str());
}

ShareProxy* FileTransferDialog::takeFirstRequest() {
  if (pendingRequests.empty())
    return nullptr;
  ShareProxy* share = pendingRequests.front();
  pendingRequests.pop_front();
  return share;
}

void FileTransferDialog::folderChosen(bool ok) {
  choosingFolder = false;
  plat::String path;
  if (ok)
    path = folderDialog.getResolvedPath();
  if (path.isNull() || !*path.c_str()) {
    if (ShareProxy* share = takeFirstRequest()) {
      try {
        autoDownloader->decline(share);
      } catch (plat::Exception& e) {
        vlog.debug("Declining a share failed: %s", e.str());
      }
      share->unref();
    }
    return;
  }
  ShareProxy* share = takeFirstRequest();
  if (!share) {
    setFetchDir(path.c_str());
    return;
  }
  struct Release {
    ShareProxy* share;
    ~Release() { share->unref(); }
  } release{share};
  autoDownloader->fetchTo(share, path.c_str());
}

void FileTransferDialog::dialogFinished(TXDialog* finished, bool result) {
  if (finished == &sendDialog)
    sending = false;
  else if (finished == &messageBox)
    messageShown = false;
  else if (finished == &folderDialog)
    choosingFolder = false;
  // A dialog still up keeps the input off (say, a folder request that came
  // while the files to send were chosen).
  setInputDisabled(anyDialogUp());
  try {
    if (finished == &sendDialog) {
      if (result)
        sendChosenFiles();
    } else if (finished == &folderDialog) {
      folderChosen(result);
    }
  } catch (plat::Exception& e) {
    vlog.error("%s", e.str());
    showError(e.str());
  }
  askNextFolder();
}

bool FileTransferDialog::anyDialogUp() const {
  return sending || choosingFolder || messageShown;
}

void FileTransferDialog::getDir(ShareProxy* share) {
  share->ref();
  pendingRequests.push_back(share);
  askNextFolder();
}

void FileTransferDialog::askNextFolder() {
  if (pendingRequests.empty() || choosingFolder)
    return;
  plat::DString prompt;
  // The description quotes the viewer's names: a line break or a mark of
  // text direction in one must not make the prompt read otherwise.
  prompt.appendFormat("Select folder to save %s:",
                      plat::strOneLine(pendingRequests.front()->describe()).c_str());
  folderDialog.setPrompt(prompt.c_str());
  choosingFolder = true;
  setInputDisabled(true);
  folderDialog.show();
}

void FileTransferDialog::showError(const char* text) {
  setInputDisabled(true);
  messageShown = true;
  messageBox.setText(text, 1, 1);
  messageBox.showWithDecorations(false);
}

} // namespace ft
