#include "ft/Extension.h"

#include "ft/ConnectionManager.h"
#include "ft/DownloadManager.h"
#include "ft/MsgReader.h"
#include "ft/MsgWriter.h"
#include "ft/ShareEntry.h"
#include "ft/ShareProxy.h"
#include "ft/UploadManager.h"
#include "plat/Assert.h"
#include "plat/BoolParameter.h"
#include "plat/LogWriter.h"
#include "plat/StringUtils.h"
#include "plat/Time.h"

#include <cstring>
#include <string>
#include <vector>

static plat::LogWriter vlog("ftExtension");

static plat::BoolParameter
    prioritiseFileTransfer("PrioritiseFileTransfer",
                           "Prioritise file transfer over other network traffic", false);

namespace ft {

namespace {

class OrphanCallback : public Extension::ShareIteratorCallback {
public:
  void visit(ShareProxy* share) override { share->setManager(nullptr); }
};

} // namespace

Extension::Extension() = default;

Extension::~Extension() {
  while (!connections.empty())
    removeConnection(connectionOf(connections.begin()->first));
  if (connectionManager)
    connectionManager->extensionDestroyed(this);
}

void Extension::setConnectionManager(ConnectionManager* manager) {
  if (connectionManager && manager != connectionManager)
    for (auto& c : connections)
      releaseManagers(c.first, c.second);
  connectionManager = manager;
}

void Extension::releaseManagers(ConnectionId id, Record& record) {
  UploadManager* upload = record.upload;
  DownloadManager* download = record.download;
  // Cleared first: a download manager's end may reach back into the record.
  record.upload = nullptr;
  record.download = nullptr;
  if (upload) {
    upload->connectionClosed(id);
    upload->abortAll(id);
  }
  if (connectionManager)
    connectionManager->releaseConnection(upload, download);
  else
    delete download;
}

Extension::Record* Extension::findRecord(ConnectionId connection) {
  auto it = connections.find(connection);
  return it == connections.end() ? nullptr : &it->second;
}

void Extension::extensionEnabled(rfb::MsgHandler* connection, const char* name) {
  if (!name || std::strcmp(name, getName()) != 0)
    return;
  addConnection(connection);
  for (PeerCallback* cb : std::vector<PeerCallback*>(peerCallbacks.begin(), peerCallbacks.end()))
    cb->peerChanged(idOf(connection), true);
}

void Extension::addConnection(rfb::MsgHandler* connection) {
  Record& record = connections[idOf(connection)];
  record.reader.reset(new MsgReader(idOf(connection), this));
  record.writer.reset(new MsgWriter(connection, this));
}

void Extension::extensionDisabled(rfb::MsgHandler* connection, const char* name) {
  if (!name || std::strcmp(name, getName()) != 0)
    return;
  for (PeerCallback* cb : std::vector<PeerCallback*>(peerCallbacks.begin(), peerCallbacks.end()))
    cb->peerChanged(idOf(connection), false);
  if (Record* record = findRecord(idOf(connection))) {
    record->reader->resetCompression();
    record->writer->resetCompression();
  }
  removeConnection(connection);
}

void Extension::removeConnection(rfb::MsgHandler* connection) {
  ConnectionId id = idOf(connection);
  Record* record = findRecord(id);
  if (!record)
    return;
  releaseManagers(id, *record);
  connections.erase(id);
}

void Extension::closeConnection(rfb::MsgHandler* connection) {
  removeConnection(connection);
}

UploadManager* Extension::getUploadManager(ConnectionId connection) {
  Record* record = findRecord(connection);
  if (!record)
    return nullptr;
  if (!record->upload && connectionManager)
    record->upload = connectionManager->getUploadManager(this, connection);
  return record->upload;
}

DownloadManager* Extension::getDownloadManager(ConnectionId connection) {
  Record* record = findRecord(connection);
  if (!record)
    return nullptr;
  if (!record->download && connectionManager)
    record->download = connectionManager->newDownloadManager(this, connection);
  return record->download;
}

MsgWriter* Extension::getWriter(ConnectionId connection) {
  auto cit = connections.find(connection);
  PLAT_ASSERT(cit != connections.end());
  return cit->second.writer.get();
}

bool Extension::readMsg(rdr::FramedInStream* is, rfb::MsgHandler* connection) {
  Record* record = findRecord(idOf(connection));
  if (!record)
    throw plat::Exception("readMsg: unknown connection");
  return record->reader->readMsg(is);
}

void Extension::checkOutput(rfb::MsgHandler* connection) {
  checkOutput(idOf(connection));
}

void Extension::checkOutput(ConnectionId connection) {
  Record* record = findRecord(connection);
  if (!record)
    return;
  bool pending = false;
  if (DownloadManager* download = record->download) {
    // Every step runs, whatever the earlier ones found.
    bool aborts = download->sendAborts();
    bool releases = download->sendReleases();
    bool shareRequest = download->sendShareRequest();
    bool fileRequests = download->sendFileRequests();
    bool limits = download->renewLimits();
    pending = aborts || releases || shareRequest || fileRequests || limits;
  }
  // A step may have removed the connection (a failed write closes it).
  record = findRecord(connection);
  if (!record)
    return;
  if (UploadManager* upload = record->upload) {
    if (upload->withdrawalPending(connection)) {
      pending = true;
      upload->sendWithdrawals(connection);
    }
    if (upload->listingPending(connection)) {
      pending = true;
      upload->sendListing(connection);
    }
    if (upload->uploadReady(connection) && upload->sendData(connection))
      pending = true;
  }
  record = findRecord(connection);
  if (record)
    record->outputPending = pending;
}

void Extension::scheduleWriteMsg(ConnectionId connection) {
  Record* record = findRecord(connection);
  if (!record)
    throw plat::Exception("scheduleWriteMsg: unknown connection");
  if (!prioritiseFileTransfer && record->outputPending)
    return;
  checkOutput(connection);
}

bool Extension::hasPendingWork(ConnectionId connection) {
  Record* record = findRecord(connection);
  if (!record)
    return false;
  return (record->download && record->download->hasPending()) ||
         (record->upload && record->upload->hasUploads());
}

void Extension::advertiseShare(UploadManager* upload) {
  std::vector<ConnectionId> ids;
  for (auto& c : connections)
    if (c.second.upload == upload)
      ids.push_back(c.first);
  for (ConnectionId id : ids)
    upload->advertise(id);
}

void Extension::shareRefused(std::uint32_t shareId, const char* reason) {
  for (ShareCallback* cb :
       std::vector<ShareCallback*>(shareCallbacks.begin(), shareCallbacks.end()))
    cb->shareRefused(shareId, reason);
}

void Extension::withdrawShareEverywhere(UploadManager* upload, std::uint32_t shareId) {
  std::vector<ConnectionId> ids;
  for (auto& c : connections)
    if (c.second.upload == upload)
      ids.push_back(c.first);
  for (ConnectionId id : ids)
    upload->withdrawShare(id, shareId);
}

void Extension::setActiveShare(ShareProxy* share) {
  ShareProxy* previous = activeShare;
  activeShare = share;
  if (share)
    shares.insert(share);
  for (ShareCallback* cb :
       std::vector<ShareCallback*>(shareCallbacks.begin(), shareCallbacks.end())) {
    if (previous)
      cb->shareDeactivated(previous);
    if (share)
      cb->shareActivated(share);
  }
  if (previous)
    previous->unref();
}

ShareProxy* Extension::getActiveShare() {
  if (activeShare)
    activeShare->ref();
  return activeShare;
}

void Extension::removeShare(ShareProxy* share) {
  if (share == activeShare)
    activeShare = nullptr;
  shares.erase(share);
}

void Extension::forEachShare(DownloadManager* manager, ShareIteratorCallback* callback) {
  std::vector<ShareProxy*> copy(shares.begin(), shares.end());
  for (ShareProxy* share : copy)
    if (shares.count(share) && share->getManager() == manager)
      callback->visit(share);
}

void Extension::orphanShares(DownloadManager* manager) {
  bool activeWasTheirs = activeShare && activeShare->getManager() == manager;
  OrphanCallback orphan;
  forEachShare(manager, &orphan);
  if (activeWasTheirs)
    setActiveShare(nullptr);
}

// Message handlers.

void Extension::handleShareCtrl(ConnectionId connection, std::uint32_t shareId, std::uint8_t code,
                                std::uint32_t flags) {
  if (!acceptMessage(connection))
    return;
  DownloadManager* download = getDownloadManager(connection);
  if (!download)
    return;
  switch (code) {
  case 0:
    vlog.status("Received advertisement for share %lu", static_cast<unsigned long>(shareId));
    download->setShare(shareId, flags);
    for (ShareCallback* cb :
         std::vector<ShareCallback*>(shareCallbacks.begin(), shareCallbacks.end()))
      cb->shareAdvertised(shareId, flags);
    scheduleWriteMsg(connection);
    break;
  case 1:
    vlog.status("Received withdrawal for share %lu", static_cast<unsigned long>(shareId));
    download->withdrawn(shareId);
    break;
  default:
    vlog.error("Unexpected share control code: %i", code);
    break;
  }
}

void Extension::handleShareReq(ConnectionId connection, std::uint32_t shareId, const char* path,
                               std::uint32_t depth) {
  if (!acceptMessage(connection))
    return;
  // Names and texts from the peer are logged on one line as they read.
  vlog.status("directory '%s' of share %lu requested to depth %lu", plat::strOneLine(path).c_str(),
              static_cast<unsigned long>(shareId), static_cast<unsigned long>(depth));
  if (UploadManager* upload = getUploadManager(connection))
    upload->handleShareRequest(connection, shareId, path, depth);
  scheduleWriteMsg(connection);
}

void Extension::handleShareEOF(ConnectionId connection, std::uint32_t shareId) {
  if (!acceptMessage(connection))
    return;
  vlog.status("Received share EOF");
  if (DownloadManager* download = getDownloadManager(connection)) {
    // The end of a listing that another share has replaced meanwhile is
    // late, not a fault of the peer.
    if (shareId != 0 && shareId != download->getShareId()) {
      vlog.debug("Ignoring the end of the listing of replaced share %u", shareId);
      return;
    }
    download->ready(shareId);
  }
}

void Extension::handleShareEntry(ConnectionId connection, std::uint32_t shareId,
                                 ShareEntry* entry) {
  std::unique_ptr<ShareEntry> owned(entry);
  if (!acceptMessage(connection))
    return;
  DownloadManager* current = getDownloadManager(connection);
  // A late entry of a replaced share must not join the new share's listing.
  if (current && shareId != current->getShareId()) {
    vlog.debug("Ignoring an entry of replaced share %u", shareId);
    return;
  }
  vlog.debug("  %s %s, size=%i", entry->isDirectory() ? "directory" : "file",
             plat::strOneLine(entry->getName()).c_str(),
             static_cast<int>(entry->size & 0xFFFFFFFF));
  if (DownloadManager* download = getDownloadManager(connection))
    download->addEntry(owned.release());
}

void Extension::handleFileReq(ConnectionId connection, const char* name, FileId id,
                              std::uint64_t window, std::uint64_t start, std::uint64_t end,
                              std::uint8_t flags) {
  if (!acceptMessage(connection))
    return;
  vlog.status("%llu-%llu of %s requested (%scompressed)", static_cast<unsigned long long>(start),
              static_cast<unsigned long long>(end), plat::strOneLine(name).c_str(),
              (flags & 1) ? "" : "un");
  if (UploadManager* upload = getUploadManager(connection))
    upload->handleFileRequest(connection, name, id, window, start, end, (flags & 1) != 0);
  scheduleWriteMsg(connection);
}

void Extension::handleByteLimit(ConnectionId connection, FileId id, std::uint64_t limit) {
  if (!acceptMessage(connection))
    return;
  if (UploadManager* upload = getUploadManager(connection))
    upload->handleByteLimit(connection, id, limit);
  scheduleWriteMsg(connection);
}

void Extension::handleFileData(ConnectionId connection, FileId id, const std::uint8_t* bytes,
                               int count) {
  if (!acceptMessage(connection))
    return;
  DownloadManager* download = getDownloadManager(connection);
  if (!download || download->getConnection() == 0)
    return;
  DownloadManager::Stream* stream = download->getStream(id);
  if (!stream) {
    vlog.debug("Data received for unknown id (%lu, %lu)", static_cast<unsigned long>(id.shareId),
               static_cast<unsigned long>(id.fileId));
    return;
  }
  bool cancelled = false;
  // A stream that failed ends with its reason, so that its partial file is
  // not taken for a complete one.
  std::string failure;
  // The stream's progress report may let the owner end the download, and
  // with it the stream.
  std::weak_ptr<const bool> alive = stream->lifeToken();
  if (count > 0) {
    try {
      stream->write(bytes, count);
    } catch (DownloadManager::Stream::CancelledException& e) {
      vlog.debug("dataReady: %s", e.str());
      cancelled = true;
      failure = e.str();
    } catch (plat::Exception& e) {
      vlog.error("dataReady: %s", e.str());
      cancelled = true;
      failure = e.str();
    }
    if (cancelled && !getWriter(connection)->writeAbortFile(id))
      download->queueAbort(id);
    if (alive.expired())
      return;
  }
  stream->received += static_cast<std::uint64_t>(count);
  if (count > 0 && !cancelled)
    return;
  std::uint64_t elapsedTicks = plat::currentTime() - stream->startTime;
  unsigned ms = static_cast<unsigned>(elapsedTicks / 10000);
  vlog.status("Download %s.", cancelled ? "cancelled" : "complete");
  vlog.debug("%u bytes transferred in %ums. %u bytes/second",
             static_cast<unsigned>(stream->received), ms,
             static_cast<unsigned>(stream->received * 1000 / (ms > 1 ? ms : 1)));
  download->closeStream(id, failure.c_str());
}

void Extension::handleFileEOF(ConnectionId connection, FileId id) {
  handleFileData(connection, id, nullptr, 0);
}

void Extension::handleFileError(ConnectionId connection, FileId id, const char* message) {
  if (!acceptMessage(connection))
    return;
  vlog.status("Source aborting (%lu,%lu): %s", static_cast<unsigned long>(id.shareId),
              static_cast<unsigned long>(id.fileId), plat::strOneLine(message).c_str());
  if (DownloadManager* download = getDownloadManager(connection))
    download->closeStream(id, message);
}

void Extension::handleFileAbort(ConnectionId connection, FileId id) {
  if (!acceptMessage(connection))
    return;
  vlog.status("Sink aborting (%lu,%lu)", static_cast<unsigned long>(id.shareId),
              static_cast<unsigned long>(id.fileId));
  if (UploadManager* upload = getUploadManager(connection))
    upload->abortUpload(connection, id);
}

void Extension::handleShareRelease(ConnectionId connection, std::uint32_t shareId) {
  if (!acceptMessage(connection))
    return;
  vlog.debug("Remote releasing %lu", static_cast<unsigned long>(shareId));
  if (UploadManager* upload = getUploadManager(connection))
    upload->releaseShare(connection, shareId);
}

} // namespace ft
