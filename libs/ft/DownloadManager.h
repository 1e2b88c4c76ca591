// The sink side of file transfer for one connection: it follows the peer's
// share, collects its listing into a share proxy, feeds download streams and
// sends share requests, file requests, byte limits, aborts and releases when
// the extension gives it an output turn (it never writes on its own). The
// connection manager makes one per connection; the extension owns it. The
// manager owns its listing, its pending requests and the streams added to it
// until each is finished; the extension is borrowed.
#pragma once

#include "ft/FileId.h"
#include "ft/ManagedVector.h"
#include "ft/ShareEntry.h"
#include "plat/Exception.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace ft {

class Extension;

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

    Stream() = default;
    virtual ~Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    // The byte limit the stream can grant now.
    virtual std::uint64_t getLimit() = 0;
    // Takes file bytes; returns how many were taken. A plat::Exception ends
    // the download with its text.
    virtual int write(const std::uint8_t* bytes, int length) = 0;
    // Ends the download: "" when complete, else the reason; deletes itself.
    virtual void finish(const char* message) = 0;

    // Expires when the stream is deleted. A report the stream makes may let
    // its owner end it (a cancel, or the downloader let go); the code that
    // called into the stream checks this before touching it again.
    std::weak_ptr<const bool> lifeToken() const { return life; }

    std::uint64_t startTime = 0;
    std::uint64_t received = 0;
    std::uint64_t limit = 0;

  private:
    std::shared_ptr<const bool> life = std::make_shared<const bool>(true);
  };

  DownloadManager(Extension* extension, ConnectionId connection);
  // Finishes every stream with "Connection closed" and orphans the share
  // proxies made from this manager.
  virtual ~DownloadManager();
  DownloadManager(const DownloadManager&) = delete;
  DownloadManager& operator=(const DownloadManager&) = delete;

  // 0 once the manager is being destroyed.
  virtual ConnectionId getConnection() const { return connection; }
  Extension* getExtension() const { return extension; }

  // Input from the extension's handlers.
  virtual void setShare(std::uint32_t shareId, std::uint32_t shareFlags);
  // Takes ownership of entry. A listing that grows beyond the bounds of
  // a real folder, alone or together with the listings this connection's
  // share proxies still hold, is refused: the entries go, the share is
  // released and the extension's share callbacks are told.
  virtual void addEntry(ShareEntry* entry);
  // The end of the listing. Throws plat::Exception "Bad sequence number in
  // ready" when shareId is not the current share.
  virtual void ready(std::uint32_t shareId);
  virtual void withdrawn(std::uint32_t shareId);
  // The stream for id, or nullptr.
  virtual Stream* getStream(FileId id);
  // Removes the stream (and any request for it) and finishes it with
  // message; false when there was none.
  virtual bool closeStream(FileId id, const char* message);

  // Requests of the share downloader. addStream takes ownership of stream,
  // also when it throws "A stream with that id already exists" (the stream
  // is then finished with that text). addFileRequest throws "NULL or empty
  // relName".
  void addStream(FileId id, Stream* stream);
  void addFileRequest(FileId id, const char* relName, std::uint64_t start, std::uint64_t end);
  // Aborts the download at the source and finishes its stream with
  // "Download cancelled".
  void cancel(FileId id);

  // Keeps a file abort to send at the next output turn.
  virtual void queueAbort(FileId id);
  virtual void queueRelease(std::uint32_t shareId);
  // File requests or streams exist.
  virtual bool hasPending() const;

  // The listing received for the current share, its id and its flags.
  virtual const ManagedVector<ShareEntry>& getEntries() const { return entries; }
  // Moves the listing to a new share proxy (a big listing is not copied);
  // it counts in the bounds until the proxy gives it back.
  virtual void handOverEntries(ManagedVector<ShareEntry>* to);
  // A share proxy made from this manager is gone with its listing.
  void listingReleased(const ManagedVector<ShareEntry>& listing);

  // The bounds of the listings a connection holds: entries, and bytes of
  // names and attributes. The defaults are far above any real folder;
  // tests set small ones.
  static constexpr std::size_t defaultMaxEntries = 1000000;
  static constexpr std::uint64_t defaultMaxBytes = std::uint64_t(256) << 20;
  void setListingBounds(std::size_t entries, std::uint64_t bytes);
  // What an entry counts in the bound of bytes: its name and its attributes
  // as they travel.
  static std::uint64_t listingBytes(const ShareEntry* entry);
  virtual std::uint32_t getShareId() const { return shareId; }
  virtual std::uint32_t getShareFlags() const { return shareFlags; }
  int getState() const { return static_cast<int>(state); }

  // Output steps, each true when it had work.
  virtual bool sendAborts();
  virtual bool sendReleases();
  virtual bool sendShareRequest();
  virtual bool sendFileRequests();
  virtual bool renewLimits();

protected:
  // A new share proxy over the listing, made the extension's active share.
  virtual void makeShareProxy();
  virtual void clearShareProxy();

private:
  struct Request {
    std::string relName;
    std::uint64_t start = 0;
    std::uint64_t end = 0;
  };
  static std::uint64_t key(FileId id) {
    return (static_cast<std::uint64_t>(id.shareId) << 32) | id.fileId;
  }
  static FileId idOf(std::uint64_t key) {
    FileId id;
    id.shareId = static_cast<std::uint32_t>(key >> 32);
    id.fileId = static_cast<std::uint32_t>(key);
    return id;
  }

  enum : std::uint32_t { noShare = 0, shareToRequest = 1, shareRequested = 2, listingComplete = 3 };

  // alone: the listing is too long by itself, else with those held.
  void refuseShare(bool alone);

  ManagedVector<ShareEntry> entries;
  std::uint64_t entryBytes = 0; // of the listing being received
  // The listings handed to share proxies that are still there.
  std::size_t heldEntries = 0;
  std::uint64_t heldBytes = 0;
  std::size_t maxEntries = defaultMaxEntries;
  std::uint64_t maxBytes = defaultMaxBytes;
  std::uint32_t shareId = 0;
  std::uint32_t shareFlags = 0;
  std::set<std::uint32_t> releases;
  std::set<std::uint64_t> aborts;
  std::map<std::uint64_t, Request> requests;
  std::map<std::uint64_t, Stream*> streams;
  std::uint32_t state = noShare;
  Extension* extension;
  ConnectionId connection;
};

} // namespace ft
