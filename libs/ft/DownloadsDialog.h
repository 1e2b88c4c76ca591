// The display-independent model of the share downloads: it takes the share
// downloader's reports, keeps one record per download, turns the user's
// actions on a row into calls on the share downloader and the view, and hands
// the rows a fresh progress text once a second. It draws nothing: the view
// (UI) makes the rows, owns and deletes them; the share downloader and the
// view are borrowed, and the view owns this object.
#pragma once

#include "ft/DownloadSpeedEstimator.h"
#include "ft/ShareDownloader.h"
#include "plat/Timer.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ft {

class DownloadsDialog : public ShareDownloader::SDCallback, public plat::Timer::Callback {
public:
  enum Action {
    NoAction = 0,
    Pause = 1,
    Resume = 2,
    Retry = 3,
    Cancel = 4,
    RemoveFromList = 5,
    Open = 6,
    OpenContainingFolder = 7,
  };

  // A row as the model sees it.
  class Download {
  public:
    virtual ~Download() = default;
    virtual void setIconPath(const char* path) = 0;
    virtual void setMultipleIcon() = 0;
    virtual void setName(const char* name) = 0;
    // The fraction of the work done, 65535 meaning all.
    virtual void setProgress(std::uint16_t value) = 0;
    virtual void showProgress() = 0;
    virtual void hideProgress() = 0;
    virtual void setStatus(const char* text, bool failed) = 0;
    virtual void setActions(const std::vector<Action>& actions) = 0;
  };

  // The view that is driven.
  class UI {
  public:
    virtual ~UI() = default;
    virtual void show() = 0;
    // A new row, not yet shown.
    virtual Download* newDownload() = 0;
    virtual void addDownload(Download* row) = 0;
    // Removes the row and deletes it.
    virtual void removeDownload(Download* row) = 0;
    virtual void openDownload(const char* path) = 0;
    virtual void setClearEnabled(bool enabled) = 0;
    virtual void notifyComplete() = 0;
    virtual void notifyFailed() = 0;
    virtual void showMessage(const char*) {}
  };

  // Throws plat::ExceptionFmt "Bad action value: %i" outside 1 to 7.
  static const char* actionName(int action);
  // Pause, Resume, Retry and Cancel are buttons; the rest are offered by the
  // row's menu.
  static bool isButton(int action) { return action < 5 || action > 7; }

  // The top-level names a row's title shows; more are counted after them.
  static constexpr std::size_t titleNames = 5;

  static const char* emptyListText();
  static const char* completeNotification();
  static const char* failedNotification();

  // Becomes the share downloader's callback.
  DownloadsDialog(ShareDownloader* shareDownloader, UI* ui);
  // Leaves the share downloader and removes every row.
  ~DownloadsDialog() override;
  DownloadsDialog(const DownloadsDialog&) = delete;
  DownloadsDialog& operator=(const DownloadsDialog&) = delete;

  // Carries out an action on the row's download; nothing for a row that is
  // not listed. Throws plat::ExceptionFmt "Bad action value: %i".
  void performAction(Action action, Download* row);
  // Removes every ended download.
  void clearFinished();
  size_t size() const { return downloads.size(); }

  // ShareDownloader::SDCallback. Reports for a download no longer listed
  // (its row was removed) are ignored.
  void downloadStarted(ShareDownloader::Id id, const std::set<std::string>& topLevel) override;
  void setRootDir(ShareDownloader::Id id, const char* folder) override;
  void downloadNote(ShareDownloader::Id, const char*) override {}
  void setTopLevelPath(ShareDownloader::Id id, const char* path) override;
  void downloadFailed(ShareDownloader::Id id, const char* message, bool retryable) override;
  void showMessage(const char* text) override;
  void downloadProgress(ShareDownloader::Id id, std::uint64_t bytesDone, std::uint64_t bytesTotal,
                        std::uint64_t filesDone, std::uint64_t filesTotal) override;
  void downloadComplete(ShareDownloader::Id id) override;

  // plat::Timer::Callback: hands pending texts to the active rows; runs on
  // while any download is active.
  bool timerCallback(plat::Timer* timer) override;

private:
  struct DownloadInfo {
    Download* item = nullptr;
    std::string rootDir;
    std::string iconPath;
    std::string status;
    std::string name;
    DownloadSpeedEstimator estimator;
    bool active = false;
    bool done = false;
    bool multiple = false;
  };
  using Map = std::map<ShareDownloader::Id, DownloadInfo>;

  DownloadInfo* find(ShareDownloader::Id id);
  void updateClearState();
  void startTimer();

  UI* ui;
  Map downloads;
  ShareDownloader* shareDownloader;
  plat::Timer timer;
};

} // namespace ft
