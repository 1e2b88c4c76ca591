// Copies whole remote shares into local folders: walks each share's listing
// in order, makes its folders, fetches its files through the share's download
// manager with up to "ftConcurrency" files in flight, gives every file and
// folder a local name that does not clash with what is on disk, and reports
// progress, failures and completion to one callback (the downloads list).
// Files beyond the program's budget of open download files wait their turn:
// a slot that finds no ticket stays free until a file closes anywhere.
// Owns its download records, each holding one reference to its share; the
// file streams belong to the download managers, the callback to its user.
#pragma once

#include "ft/OpenFileBudget.h"
#include "ft/unix/FileStream.h"

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace ft {

class DownloadManager;
class ShareProxy;

class ShareDownloader : public FileStream::Callback, private OpenFileBudget::Waiter {
public:
  // (the share's download manager, the share id).
  using Id = std::pair<std::uint64_t, std::uint64_t>;

  class SDCallback {
  public:
    virtual ~SDCallback() = default;
    virtual void downloadStarted(Id id, const std::set<std::string>& topLevel) = 0;
    virtual void setRootDir(Id id, const char* folder) = 0;
    virtual void downloadNote(Id id, const char* name) = 0;
    virtual void setTopLevelPath(Id id, const char* path) = 0;
    virtual void downloadFailed(Id id, const char* message, bool retryable) = 0;
    virtual void showMessage(const char* text) = 0;
    virtual void downloadProgress(Id id, std::uint64_t bytesDone, std::uint64_t bytesTotal,
                                  std::uint64_t filesDone, std::uint64_t filesTotal) = 0;
    virtual void downloadComplete(Id id) = 0;
  };

  // One download of one share.
  class Download {
  public:
    // Tells whether anything has a local path, a symbolic link counting as
    // itself and not as what it points to (unless replaced). Throws
    // plat::SystemException when that cannot be found out.
    static bool (*fileExistsFn)(const char* path);

    struct Slot {
      FileStream* stream = nullptr;
      std::uint32_t entry = ~std::uint32_t(0);
      std::uint64_t onDisk = 0;
      // Free only because no file may be opened now: started again when a
      // file closes.
      bool waiting = false;
    };

    Download(ShareProxy* share, const std::string& folder, int slots);
    ~Download();
    Download(const Download&) = delete;
    Download& operator=(const Download&) = delete;

    // Makes every component prefix of the listed name clash-free, trying at
    // most tries numbered names each. Throws plat::Exception "Too many name
    // clashes".
    void makeClashFree(const std::string& name, int tries);
    // After a failed create: forgets what was found about the name and about
    // every folder above it that is not a folder on disk now (another program
    // may have taken the name since it was checked), so the next try checks
    // them again under the clash rules.
    void forgetNames(const std::string& name);
    // The name as it is stored on disk below the folder.
    std::string mappedPath(const std::string& name) const;
    std::string localPath(const std::string& name) const;
    // An earlier entry of the listing, or a folder above one, was stored
    // under the name.
    bool isPlaced(const std::string& name) const;
    // The entry of that name was stored.
    void markPlaced(const std::string& name);
    // The first numbered form of a mapped name ("name (i).ext", i from 1 to
    // tries) that nothing has in the folder. Throws plat::Exception "Too many
    // name clashes".
    std::string numberedName(const std::string& mapped, int tries) const;

    Id id;
    std::string folder;
    ShareProxy* share;
    std::uint32_t next = 0;
    std::uint64_t total = 0;
    std::uint64_t done = 0;
    std::vector<Slot> slots;
    std::uint64_t start = 0;
    std::uint64_t idleSince = 0;
    std::uint64_t idle = 0;
    // Listed names (and folders above them) stored under another name, and
    // those found free; changed through rename() and erase() only, which
    // keep nameBytes.
    std::map<std::string, std::string> renames;
    std::set<std::string> freeNames;
    // Listed names at which entries were stored: a later entry of one of
    // these names, or of a folder above one, is one the listing repeats.
    std::set<std::string> placed;
    // Local folders made, in listing order: their modes are applied once
    // their contents are written.
    std::vector<std::pair<std::string, std::uint32_t>> folders;
    // Taken out of the downloader's list; any pending walk over it stops.
    bool removed = false;
    // The bytes the three records of names above hold. A share whose names
    // would make them hold more than nameBound (four times the bytes of its
    // names, and nameSlack) is refused.
    std::uint64_t nameBytes = 0;
    std::uint64_t nameBound = 0;
    static constexpr std::uint64_t nameSlack = 4 << 20;

    // Stores the name under mapped.
    void rename(const std::string& name, const std::string& mapped);

  private:
    void resolve(const std::string& path, int tries);
    template <class Names>
    void erase(Names& names, typename Names::iterator from, typename Names::iterator to);
  };

  ShareDownloader();
  // Frees every record; streams still running are not cancelled.
  ~ShareDownloader() override;
  ShareDownloader(const ShareDownloader&) = delete;
  ShareDownloader& operator=(const ShareDownloader&) = delete;

  void setCallback(SDCallback* cb) { callback = cb; }
  SDCallback* getCallback() const { return callback; }

  void download(ShareProxy* share, const char* folder);
  void cancel(Id id);
  void pause(Id id);
  // Clears the paused flag of every stream and writes out its buffer, then
  // starts entries into free slots (those a name or folder failure left
  // free). True when anything was resumed or started.
  bool resume(Id id);
  void showMessage(const char* text);

  bool hasDownload(Id id) const { return find(id) != nullptr; }
  size_t downloadCount() const { return downloads.size(); }

  // FileStream::Callback
  void progress(FileStream* stream, std::uint64_t onDisk) override;
  void writeFailed(FileStream* stream, const char* message) override;
  void complete(FileStream* stream) override;
  void failed(FileStream* stream, const char* message) override;

private:
  // OpenFileBudget::Waiter: starts waiting slots, oldest download first.
  void filesFreed() override;

  using DownloadPtr = std::shared_ptr<Download>;

  DownloadPtr find(Id id) const;
  DownloadPtr findByStream(FileStream* stream, size_t* slot) const;
  // Starts the next entry into slot k; false when the download is complete
  // (and has been reported so).
  bool startNext(const DownloadPtr& d, size_t k);
  void finishDownload(const DownloadPtr& d);
  void remove(const DownloadPtr& d);
  // Aborts every file in flight and releases the share.
  void abort(const DownloadPtr& d);
  // Ends a download that cannot be saved as listed: logged, reported as a
  // failure that a retry would not mend, its files aborted.
  void refuse(const DownloadPtr& d, const plat::Exception& e);
  void applyFolderModes(const DownloadPtr& d);

  std::list<DownloadPtr> downloads;
  SDCallback* callback = nullptr;
};

} // namespace ft
