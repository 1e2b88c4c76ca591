// The sink side of file transfer for one connection, as the file-transfer
// extension and the share proxies see it: it follows the peer's share,
// collects its listing, feeds download streams and sends requests, limits,
// aborts and releases when the extension gives it an output turn. The
// connection manager makes one per connection; the extension owns it.
#pragma once

#include "ft/FileId.h"
#include "ft/ManagedVector.h"
#include "ft/ShareEntry.h"
#include "plat/Exception.h"

#include <cstdint>

namespace ft {

class DownloadManager {
public:
  // The sink of one downloaded file.
  class Stream {
  public:
    // What write() throws for a download the user cancelled.
    class CancelledException : public plat::Exception {
    public:
      CancelledException() : plat::Exception("Download cancelled") {}
    };

    virtual ~Stream() = default;
    // The byte limit the stream can grant now.
    virtual std::uint64_t getLimit() = 0;
    // Takes file bytes; returns how many were taken.
    virtual int write(const std::uint8_t* bytes, int length) = 0;
    // Ends the download: "" when complete, else the reason; deletes itself.
    virtual void finish(const char* message) = 0;

    std::uint64_t startTime = 0;
    std::uint64_t received = 0;
    std::uint64_t limit = 0;
  };

  virtual ~DownloadManager() = default;

  // 0 once the manager is being destroyed.
  virtual ConnectionId getConnection() const = 0;

  virtual void setShare(std::uint32_t shareId, std::uint32_t shareFlags) = 0;
  // Takes ownership of entry.
  virtual void addEntry(ShareEntry* entry) = 0;
  virtual void ready(std::uint32_t shareId) = 0;
  virtual void withdrawn(std::uint32_t shareId) = 0;
  // The stream for id, or nullptr.
  virtual Stream* getStream(FileId id) = 0;
  // Removes the stream (and any request for it) and finishes it with
  // message; false when there was none.
  virtual bool closeStream(FileId id, const char* message) = 0;
  // Keeps a file abort to send at the next output turn.
  virtual void queueAbort(FileId id) = 0;
  virtual void queueRelease(std::uint32_t shareId) = 0;
  virtual bool hasPending() const = 0;

  // The listing received for the current share, its id and its flags.
  virtual const ManagedVector<ShareEntry>& getEntries() const = 0;
  virtual std::uint32_t getShareId() const = 0;
  virtual std::uint32_t getShareFlags() const = 0;

  // Output steps, each true when it had work.
  virtual bool sendAborts() = 0;
  virtual bool sendReleases() = 0;
  virtual bool sendShareRequest() = 0;
  virtual bool sendFileRequests() = 0;
  virtual bool renewLimits() = 0;
};

} // namespace ft
