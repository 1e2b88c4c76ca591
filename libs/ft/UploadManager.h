// The source side of file transfer: offers the current local share to every
// connection, answers share requests with the share's entries in batches,
// serves file requests under the byte limits the peers grant, and withdraws
// shares. It never writes by itself: the extension gives it output turns per
// connection, and whatever the connection's writer refuses is built again at
// the next turn. Owns the share records and their entries and the open files
// of its uploads; the extension and the listeners are borrowed.
#pragma once

#include "ft/FileId.h"
#include "ft/FileProxy.h"
#include "ft/ManagedVector.h"
#include "ft/OpenFileBudget.h"
#include "ft/PartialShareEnum.h"

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

namespace rdr {
class InStream;
}

namespace ft {

class Extension;

class UploadManager {
public:
  // Told of data sent and of files that ended before their announced end.
  class Listener {
  public:
    virtual ~Listener() = default;
    virtual void dataSent(ConnectionId connection, std::uint32_t shareId, const char* name,
                          std::uint64_t bytes) = 0;
    virtual void endChanged(ConnectionId connection, std::uint32_t shareId, const char* name,
                            std::uint64_t newEnd) = 0;
  };

  // One requested file being sent.
  struct Upload {
    std::string name;
    // Counts the open file in the program's upload budget; given back after
    // the file is closed (members go in reverse order).
    OpenFileBudget::Ticket ticket;
    std::unique_ptr<rdr::InStream> is; // none for a failed request
    FileId id;
    std::uint64_t position = 0;
    std::uint64_t limit = 0;
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    bool hasError = false;
    std::string error;
    bool paused = false;
    int compression = -1; // -1 undecided, 1 compress, 0 do not
  };

  // Refusals of one connection that may wait to be sent.
  static constexpr std::size_t maxUnsentRefusals = 256;

  explicit UploadManager(Extension* extension);
  virtual ~UploadManager();
  UploadManager(const UploadManager&) = delete;
  UploadManager& operator=(const UploadManager&) = delete;

  // Starts a new local share (requested 0: the next id) and returns its id.
  virtual std::uint32_t newShare(std::uint32_t requestedId, std::uint32_t shareFlags);
  virtual void setComplete();
  virtual void releaseShare(ConnectionId connection, std::uint32_t shareId);
  virtual void connectionClosed(ConnectionId connection);
  virtual void withdrawShare(ConnectionId connection, std::uint32_t shareId);

  // Appends an entry to the current share; takes ownership.
  void addEntry(FileProxy* entry);
  void advertise(ConnectionId connection);
  bool handleShareRequest(ConnectionId connection, std::uint32_t shareId, const char* directory,
                          std::uint32_t depth);
  // Opens the file and keeps the upload, or keeps the refusal to report.
  // A peer that does not read its answers ends its file transfer: throws
  // plat::Exception when maxUnsentRefusals refusals wait and it takes none.
  bool handleFileRequest(ConnectionId connection, const char* name, FileId id, std::uint64_t limit,
                         std::uint64_t start, std::uint64_t end, bool compressed);
  void handleByteLimit(ConnectionId connection, FileId id, std::uint64_t limit);
  // The connection's upload for id, or nullptr.
  Upload* findUpload(ConnectionId connection, FileId id);
  // Ends the connection's upload for id (the sink gave it up); false when
  // there is none.
  bool abortUpload(ConnectionId connection, FileId id);
  void endUpload(ConnectionId connection, Upload* upload);
  void abortAll(ConnectionId connection);

  bool withdrawalPending(ConnectionId connection) const;
  void sendWithdrawals(ConnectionId connection);
  bool listingPending(ConnectionId connection) const;
  void sendListing(ConnectionId connection);
  bool uploadReady(ConnectionId connection);
  bool sendData(ConnectionId connection);
  bool hasUploads() const { return !uploads.empty(); }

  void addListener(Listener* l) { listeners.insert(l); }
  void removeListener(Listener* l) { listeners.erase(l); }

  Extension* getExtension() const { return extension; }
  std::uint32_t getCurrentShareId() const { return currentShareId; }
  bool isComplete() const { return complete; }
  // The entries of a share still on record, or nullptr.
  const ManagedVector<FileProxy>* getEntries(std::uint32_t shareId) const;
  const std::list<std::unique_ptr<Upload>>* getUploads(ConnectionId connection) const;

private:
  struct ShareState {
    enum : std::uint32_t { toAdvertise = 0, advertised = 1, listingRequested = 2 };
    std::uint32_t state = toAdvertise;
    std::uint32_t shareId = 0;
    std::string directory;
    std::uint32_t depth = 0;
    std::uint32_t sent = 0;
    PartialShareEnum::Presented presented;
  };
  struct History {
    std::uint32_t shareFlags = 0;
    ManagedVector<FileProxy> entries;
    // The entries by name; the views point into the entries' own names.
    std::unordered_map<std::string_view, FileProxy*> byName;
    std::set<ConnectionId> holders;
  };

  enum class Report { written, refused, failed };

  // One step of an upload; true when it wrote something.
  bool step(ConnectionId connection, Upload* upload);
  // The parts of a step: file data (true when some was written), the
  // upload's failure report, its end of file (true when written).
  bool sendChunk(ConnectionId connection, Upload* upload);
  Report sendFailure(ConnectionId connection, Upload* upload);
  bool sendEnd(ConnectionId connection, Upload* upload);
  void dropHolder(ConnectionId connection, std::uint32_t shareId);
  // Failed requests whose refusal is not sent yet.
  std::size_t unsentRefusals(ConnectionId connection) const;
  // Sends waiting refusals while the peer takes them; how many are left.
  std::size_t sendRefusals(ConnectionId connection);
  static std::uint32_t drawShareId();

  std::uint32_t currentShareId = 0;
  std::uint32_t nextShareId;
  std::map<ConnectionId, std::list<std::unique_ptr<Upload>>> uploads;
  std::map<ConnectionId, ShareState> shareStates;
  std::map<ConnectionId, std::set<std::uint32_t>> withdrawals;
  std::map<std::uint32_t, std::unique_ptr<History>> history;
  bool complete = true;
  Extension* extension;
  std::set<Listener*> listeners;
};

} // namespace ft
