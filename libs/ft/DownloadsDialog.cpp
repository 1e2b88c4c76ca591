#include "ft/DownloadsDialog.h"

#include "plat/Exception.h"
#include "plat/StringUtils.h"

namespace ft {

const char* DownloadsDialog::actionName(int action) {
  switch (action) {
  case Pause:
    return "Pause";
  case Resume:
    return "Resume";
  case Retry:
    return "Retry";
  case Cancel:
    return "Cancel";
  case RemoveFromList:
    return "Remove from list";
  case Open:
    return "Open";
  case OpenContainingFolder:
    return "Open containing folder";
  default:
    throw plat::ExceptionFmt("Bad action value: %i", action);
  }
}

const char* DownloadsDialog::emptyListText() {
  return "There are no active or recent downloads to display.\n\nTo send files to all connected "
         "users, click the ^bSend files^n button, below.\n\nTo change where downloaded files are "
         "saved on this computer, use the ^bFetch files to^n drop-down list, below.";
}

const char* DownloadsDialog::completeNotification() {
  return "^bFile transfer complete.^n\n^1{All files have been transferred.^}";
}

const char* DownloadsDialog::failedNotification() {
  return "^1{File transfer failed.^}";
}

DownloadsDialog::DownloadsDialog(ShareDownloader* shareDownloader_, UI* ui_)
    : ui(ui_), shareDownloader(shareDownloader_), timer(this) {
  shareDownloader->setCallback(this);
}

DownloadsDialog::~DownloadsDialog() {
  if (shareDownloader->getCallback() == this)
    shareDownloader->setCallback(nullptr);
  Map all;
  all.swap(downloads);
  for (auto& entry : all)
    ui->removeDownload(entry.second.item);
  timer.stop();
}

DownloadsDialog::DownloadInfo* DownloadsDialog::find(ShareDownloader::Id id) {
  auto i = downloads.find(id);
  return i == downloads.end() ? nullptr : &i->second;
}

void DownloadsDialog::startTimer() {
  if (!timer.isStarted())
    timer.start(1000);
}

void DownloadsDialog::updateClearState() {
  bool any = false;
  for (const auto& entry : downloads)
    if (entry.second.done)
      any = true;
  ui->setClearEnabled(any);
}

void DownloadsDialog::downloadStarted(ShareDownloader::Id id,
                                      const std::set<std::string>& topLevel) {
  ui->show();
  Download* row = ui->newDownload();
  ui->addDownload(row);
  DownloadInfo& info = downloads[id];
  if (info.item && info.item != row)
    ui->removeDownload(info.item);
  info = DownloadInfo();
  info.item = row;
  info.active = true;
  info.multiple = topLevel.size() != 1;
  row->setActions({Pause, Cancel, OpenContainingFolder});
  // A pushed share may hold a million top-level names: the title, drawn at
  // every repaint, names the first few and counts the rest.
  std::string name;
  std::size_t named = 0;
  for (const std::string& n : topLevel) {
    if (named == titleNames)
      break;
    if (!name.empty())
      name += ", ";
    // Names are the peer's: shown on the one line of the title as they read.
    name += plat::strOneLine(n.c_str());
    named++;
  }
  if (named < topLevel.size())
    name += ", ... (" + std::to_string(topLevel.size() - named) + " more)";
  row->setName(name.c_str());
  info.name = name;
  if (info.multiple)
    row->setMultipleIcon();
  row->showProgress();
  startTimer();
}

void DownloadsDialog::setRootDir(ShareDownloader::Id id, const char* folder) {
  DownloadInfo* info = find(id);
  if (info && info->rootDir != folder)
    info->rootDir = folder;
}

void DownloadsDialog::setTopLevelPath(ShareDownloader::Id id, const char* path) {
  DownloadInfo* info = find(id);
  if (!info || info->multiple || !info->iconPath.empty())
    return;
  info->iconPath = path;
  info->item->setIconPath(path);
}

void DownloadsDialog::downloadFailed(ShareDownloader::Id id, const char* message, bool retryable) {
  DownloadInfo* info = find(id);
  if (!info)
    return;
  Download* row = info->item;
  if (info->iconPath.empty())
    row->setIconPath(info->name.c_str());
  if (retryable)
    row->setActions({Retry, Cancel, RemoveFromList, OpenContainingFolder});
  else
    row->setActions({RemoveFromList, OpenContainingFolder});
  row->hideProgress();
  info->active = false;
  // Failed rows are cleared alike; removing one that could be retried ends
  // its download as Cancel does.
  info->done = true;
  // The message may quote a name of the peer's.
  row->setStatus(plat::strOneLine(message).c_str(), true);
  updateClearState();
  ui->notifyFailed();
}

void DownloadsDialog::showMessage(const char* text) {
  ui->show();
  ui->showMessage(text);
}

void DownloadsDialog::downloadProgress(ShareDownloader::Id id, std::uint64_t bytesDone,
                                       std::uint64_t bytesTotal, std::uint64_t filesDone,
                                       std::uint64_t filesTotal) {
  DownloadInfo* info = find(id);
  if (!info)
    return;
  // Every file counts as 7000 bytes of work, so that many small files show
  // progress too.
  std::uint64_t done = bytesDone + 7000 * filesDone;
  std::uint64_t total = bytesTotal + 7000 * filesTotal;
  if (total == 0)
    total = 1;
  std::uint64_t fraction = done >= total ? 65535 : done * 65535 / total;
  info->item->setProgress(static_cast<std::uint16_t>(fraction));
  info->active = true;
  info->estimator.addReading(done);
  std::string speed = info->estimator.rateText();
  std::optional<std::string> remaining = info->estimator.remainingText(total);
  if (remaining) {
    std::string text = speed + ", " + *remaining + " remaining.";
    if (info->status != text)
      info->status = text;
  }
}

void DownloadsDialog::downloadComplete(ShareDownloader::Id id) {
  DownloadInfo* info = find(id);
  if (!info)
    return;
  Download* row = info->item;
  if (info->multiple)
    row->setActions({OpenContainingFolder, RemoveFromList});
  else
    row->setActions({Open, OpenContainingFolder, RemoveFromList});
  row->hideProgress();
  info->active = false;
  info->done = true;
  info->status.clear();
  row->setStatus("Download complete", false);
  if (!info->iconPath.empty() && !info->multiple)
    row->setIconPath(info->iconPath.c_str());
  updateClearState();
  bool anyActive = false;
  for (const auto& entry : downloads)
    if (entry.second.active)
      anyActive = true;
  if (!anyActive)
    ui->notifyComplete();
}

bool DownloadsDialog::timerCallback(plat::Timer*) {
  bool anyActive = false;
  for (auto& entry : downloads) {
    DownloadInfo& info = entry.second;
    if (!info.active)
      continue;
    anyActive = true;
    if (!info.status.empty()) {
      info.item->setStatus(info.status.c_str(), false);
      info.status.clear();
    }
  }
  return anyActive;
}

void DownloadsDialog::performAction(Action action, Download* row) {
  auto i = downloads.begin();
  while (i != downloads.end() && i->second.item != row)
    ++i;
  if (i == downloads.end())
    return;
  ShareDownloader::Id id = i->first;
  DownloadInfo& info = i->second;
  switch (action) {
  case Pause:
    shareDownloader->pause(id);
    row->hideProgress();
    info.active = false;
    row->setStatus("Download paused.", false);
    row->setActions({Resume, Cancel, OpenContainingFolder});
    break;
  case Resume:
  case Retry: {
    if (!shareDownloader->resume(id))
      return;
    // The resume may have reported back (a row removed meanwhile).
    DownloadInfo* again = find(id);
    if (!again || again->item != row)
      return;
    row->showProgress();
    again->active = true;
    again->done = false;
    again->estimator.clear();
    startTimer();
    row->setStatus("", false);
    row->setActions({Pause, Cancel, OpenContainingFolder});
    updateClearState();
    break;
  }
  case Cancel: {
    shareDownloader->cancel(id);
    DownloadInfo* again = find(id);
    if (!again || again->item != row)
      return;
    row->hideProgress();
    again->done = true;
    again->active = false;
    again->status.clear();
    row->setStatus("Download cancelled.", false);
    row->setActions({RemoveFromList, OpenContainingFolder});
    updateClearState();
    break;
  }
  case RemoveFromList: {
    // A download that can still be retried holds its share and maybe files
    // in flight; one that has ended is unknown to the share downloader.
    shareDownloader->cancel(id);
    auto again = downloads.find(id);
    if (again == downloads.end() || again->second.item != row)
      return;
    downloads.erase(again);
    ui->removeDownload(row);
    updateClearState();
    break;
  }
  case Open:
    // Offered only once the path is known.
    if (!info.iconPath.empty())
      ui->openDownload(info.iconPath.c_str());
    break;
  case OpenContainingFolder:
    if (!info.rootDir.empty())
      ui->openDownload(info.rootDir.c_str());
    break;
  default:
    actionName(action);
    break;
  }
}

void DownloadsDialog::clearFinished() {
  std::vector<Download*> rows;
  for (const auto& entry : downloads)
    if (entry.second.done)
      rows.push_back(entry.second.item);
  for (Download* row : rows)
    performAction(RemoveFromList, row);
}

} // namespace ft
