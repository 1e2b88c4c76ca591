// The hub of file transfer on one side: a record per connection that carries
// the file-transfer protocol (its message reader and writer, owned, and its
// upload and download managers), the handlers that pass each received
// message to the right manager, the output turns that let the managers write
// when the connection can take data, and the set of received shares with the
// one that is active. Callbacks are borrowed; the extension holds one
// reference to the active share.
#pragma once

#include "ft/FileId.h"
#include "rfb/Extension.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>

namespace ft {

class ConnectionManager;
class DownloadManager;
class MsgReader;
class MsgWriter;
class ShareEntry;
class ShareProxy;
class UploadManager;

class Extension : public rfb::Extension {
public:
  class PeerCallback {
  public:
    virtual ~PeerCallback() = default;
    virtual void peerChanged(ConnectionId connection, bool enabled) = 0;
  };
  class ShareCallback {
  public:
    virtual ~ShareCallback() = default;
    virtual void shareAdvertised(std::uint32_t shareId, std::uint32_t flags) = 0;
    virtual void shareActivated(ShareProxy* share) = 0;
    virtual void shareDeactivated(ShareProxy* share) = 0;
    // A share the peer offered was refused (reason for the desktop user).
    virtual void shareRefused(std::uint32_t, const char*) {}
  };
  class ShareIteratorCallback {
  public:
    virtual ~ShareIteratorCallback() = default;
    virtual void visit(ShareProxy* share) = 0;
  };

  Extension();
  // Removes every connection first (its readers and writers are deleted,
  // its managers handed back), then tells the connection manager that the
  // extension is gone.
  ~Extension() override;

  static ConnectionId idOf(rfb::MsgHandler* connection) {
    return static_cast<ConnectionId>(reinterpret_cast<std::uintptr_t>(connection));
  }
  static rfb::MsgHandler* connectionOf(ConnectionId id) {
    return reinterpret_cast<rfb::MsgHandler*>(static_cast<std::uintptr_t>(id));
  }

  // rfb::Extension
  // Throws plat::Exception "readMsg: unknown connection".
  bool readMsg(rdr::FramedInStream* is, rfb::MsgHandler* connection) override;
  void checkOutput(rfb::MsgHandler* connection) override;
  void closeConnection(rfb::MsgHandler* connection) override;
  void extensionEnabled(rfb::MsgHandler* connection, const char* name) override;
  void extensionDisabled(rfb::MsgHandler* connection, const char* name) override;

  virtual void addConnection(rfb::MsgHandler* connection);
  virtual void removeConnection(rfb::MsgHandler* connection);
  virtual bool acceptMessage(ConnectionId connection) = 0;
  virtual bool useCompression(ConnectionId connection) = 0;

  // Message handlers, called by the connection's reader.
  virtual void handleShareCtrl(ConnectionId connection, std::uint32_t shareId, std::uint8_t code,
                               std::uint32_t flags);
  virtual void handleShareReq(ConnectionId connection, std::uint32_t shareId, const char* path,
                              std::uint32_t depth);
  virtual void handleShareEOF(ConnectionId connection, std::uint32_t shareId);
  // Takes ownership of entry.
  virtual void handleShareEntry(ConnectionId connection, std::uint32_t shareId, ShareEntry* entry);
  virtual void handleFileReq(ConnectionId connection, const char* name, FileId id,
                             std::uint64_t window, std::uint64_t start, std::uint64_t end,
                             std::uint8_t flags);
  virtual void handleByteLimit(ConnectionId connection, FileId id, std::uint64_t limit);
  virtual void handleFileData(ConnectionId connection, FileId id, const std::uint8_t* bytes,
                              int count);
  virtual void handleFileEOF(ConnectionId connection, FileId id);
  virtual void handleFileError(ConnectionId connection, FileId id, const char* message);
  virtual void handleFileAbort(ConnectionId connection, FileId id);
  virtual void handleShareRelease(ConnectionId connection, std::uint32_t shareId);

  void checkOutput(ConnectionId connection);
  // Runs an output turn now, unless output is already waiting for the
  // stream to become writable and "PrioritiseFileTransfer" is off. Throws
  // plat::Exception "scheduleWriteMsg: unknown connection".
  void scheduleWriteMsg(ConnectionId connection);
  bool hasPendingWork(ConnectionId connection);
  bool hasConnection(ConnectionId connection) const { return connections.count(connection) != 0; }

  // A manager that is replaced (or cleared) gets every record's managers
  // back at once: they must not be used after their owner has gone.
  void setConnectionManager(ConnectionManager* manager);
  UploadManager* getUploadManager(ConnectionId connection);
  DownloadManager* getDownloadManager(ConnectionId connection);
  // The record must exist (fatal check).
  MsgWriter* getWriter(ConnectionId connection);

  void advertiseShare(UploadManager* upload);
  // Tells the share callbacks that the download side refused a share.
  void shareRefused(std::uint32_t shareId, const char* reason);
  void withdrawShareEverywhere(UploadManager* upload, std::uint32_t shareId);

  // Takes over the caller's reference to share (nullptr for none).
  void setActiveShare(ShareProxy* share);
  // The active share with a reference taken for the caller, or nullptr.
  ShareProxy* getActiveShare();
  void removeShare(ShareProxy* share);
  void forEachShare(DownloadManager* manager, ShareIteratorCallback* callback);
  void orphanShares(DownloadManager* manager);

  void addShareCallback(ShareCallback* cb) { shareCallbacks.insert(cb); }
  void removeShareCallback(ShareCallback* cb) { shareCallbacks.erase(cb); }
  void addPeerCallback(PeerCallback* cb) { peerCallbacks.insert(cb); }
  void removePeerCallback(PeerCallback* cb) { peerCallbacks.erase(cb); }

private:
  struct Record {
    DownloadManager* download = nullptr;
    UploadManager* upload = nullptr;
    std::unique_ptr<MsgReader> reader;
    std::unique_ptr<MsgWriter> writer;
    bool outputPending = false;
  };

  Record* findRecord(ConnectionId connection);
  // Hands a record's managers back to the connection manager.
  void releaseManagers(ConnectionId id, Record& record);

  ConnectionManager* connectionManager = nullptr;
  std::map<ConnectionId, Record> connections;
  ShareProxy* activeShare = nullptr;
  std::set<ShareCallback*> shareCallbacks;
  std::set<PeerCallback*> peerCallbacks;
  std::set<ShareProxy*> shares;
};

} // namespace ft
