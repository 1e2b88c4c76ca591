#include "ft/DownloadManager.h"

#include "ft/Extension.h"
#include "ft/MsgWriter.h"
#include "ft/ShareProxy.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"
#include "plat/StringUtils.h"
#include "plat/Time.h"

#include <algorithm>
#include <memory>
#include <vector>

static plat::LogWriter vlog("DownloadManager");

static plat::IntParameter
    fileTransferLWM("FileTransferLWM",
                    "Number of outstanding bytes before renewing a download, or -1 to disable "
                    "renewal suppression.",
                    -1);

namespace ft {

DownloadManager::DownloadManager(Extension* extension_, ConnectionId connection_)
    : extension(extension_), connection(connection_) {
}

DownloadManager::~DownloadManager() {
  connection = 0;
  // A stream's finish may reach back into this manager (a share downloader
  // starting its next file): take one stream at a time off the map.
  while (!streams.empty()) {
    auto it = streams.begin();
    std::uint64_t id = it->first;
    Stream* stream = it->second;
    streams.erase(it);
    requests.erase(id);
    stream->finish("Connection closed");
  }
  extension->orphanShares(this);
}

void DownloadManager::setShare(std::uint32_t id, std::uint32_t flags) {
  if (connection == 0 || id == shareId)
    return;
  entries.clear();
  entryBytes = 0;
  shareId = id;
  shareFlags = flags;
  state = id != 0 ? shareToRequest : noShare;
  extension->scheduleWriteMsg(connection);
}

std::uint64_t DownloadManager::listingBytes(const ShareEntry* entry) {
  std::uint64_t bytes = entry->name.size();
  for (std::size_t i = 0; i < entry->attributes.size(); i++)
    bytes += static_cast<std::uint64_t>(entry->attributes[i]->marshalledSize());
  return bytes;
}

void DownloadManager::setListingBounds(std::size_t entries_, std::uint64_t bytes) {
  maxEntries = entries_;
  maxBytes = bytes;
}

void DownloadManager::addEntry(ShareEntry* entry) {
  std::unique_ptr<ShareEntry> owned(entry);
  entryBytes += listingBytes(owned.get());
  bool alone = entries.size() >= maxEntries || entryBytes > maxBytes;
  // Shares still being downloaded keep their listings: a viewer that never
  // sends their files must not make them add up without bound.
  if (alone || entries.size() + heldEntries >= maxEntries || entryBytes + heldBytes > maxBytes) {
    refuseShare(alone);
    return;
  }
  entries.push_back(owned.release());
}

void DownloadManager::handOverEntries(ManagedVector<ShareEntry>* to) {
  heldEntries += entries.size();
  heldBytes += entryBytes;
  to->takeAll(entries);
  entryBytes = 0;
}

void DownloadManager::listingReleased(const ManagedVector<ShareEntry>& listing) {
  std::uint64_t bytes = 0;
  for (std::size_t i = 0; i < listing.size(); i++)
    bytes += listingBytes(listing[i]);
  heldEntries -= std::min(heldEntries, listing.size());
  heldBytes -= std::min(heldBytes, bytes);
}

void DownloadManager::refuseShare(bool alone) {
  std::uint32_t refused = shareId;
  entries.clear();
  entryBytes = 0;
  // The rest of its listing finds no share to join.
  shareId = 0;
  state = noShare;
  plat::ExceptionFmt reason(alone ? "The files offered could not be received: their list is "
                                    "longer than %u entries or %u MB of names."
                                  : "The files offered could not be received: together with the "
                                    "files still being received, the lists are longer than %u "
                                    "entries or %u MB of names.",
                            static_cast<unsigned>(maxEntries),
                            static_cast<unsigned>(maxBytes >> 20));
  vlog.error("Share %u refused: %s", static_cast<unsigned>(refused), reason.str());
  extension->shareRefused(refused, reason.str());
  if (refused != 0) {
    queueRelease(refused);
    sendReleases();
  }
}

void DownloadManager::ready(std::uint32_t id) {
  if (id != shareId || id == 0)
    throw plat::Exception("Bad sequence number in ready");
  state = listingComplete;
  makeShareProxy();
}

void DownloadManager::makeShareProxy() {
  // The proxy hands its one reference to the extension as the active share.
  new ShareProxy(this, extension);
}

void DownloadManager::clearShareProxy() {
  extension->setActiveShare(nullptr);
}

void DownloadManager::withdrawn(std::uint32_t id) {
  ShareProxy* active = extension->getActiveShare();
  if (active && active->getShareId() == id && active->getManager() == this)
    clearShareProxy();
  if (id == shareId) {
    entries.clear();
    entryBytes = 0;
    shareId = 0;
    state = noShare;
  }
  std::vector<std::uint64_t> gone;
  for (auto& s : streams)
    if (idOf(s.first).shareId == id)
      gone.push_back(s.first);
  for (std::uint64_t k : gone)
    closeStream(idOf(k), "Files withdrawn by source");
  if (active)
    active->unref();
}

DownloadManager::Stream* DownloadManager::getStream(FileId id) {
  auto it = streams.find(key(id));
  return it == streams.end() ? nullptr : it->second;
}

bool DownloadManager::closeStream(FileId id, const char* message) {
  requests.erase(key(id));
  auto it = streams.find(key(id));
  if (it == streams.end())
    return false;
  Stream* stream = it->second;
  streams.erase(it);
  stream->finish(message);
  return true;
}

void DownloadManager::addStream(FileId id, Stream* stream) {
  if (streams.count(key(id))) {
    stream->finish("A stream with that id already exists");
    throw plat::Exception("A stream with that id already exists");
  }
  stream->startTime = plat::currentTime();
  streams[key(id)] = stream;
}

void DownloadManager::addFileRequest(FileId id, const char* relName, std::uint64_t start,
                                     std::uint64_t end) {
  if (!relName || !*relName)
    throw plat::Exception("NULL or empty relName");
  Request& request = requests[key(id)];
  request.relName = relName;
  request.start = start;
  request.end = end;
}

void DownloadManager::cancel(FileId id) {
  aborts.insert(key(id));
  closeStream(id, "Download cancelled");
  sendAborts();
}

void DownloadManager::queueAbort(FileId id) {
  aborts.insert(key(id));
}

void DownloadManager::queueRelease(std::uint32_t id) {
  releases.insert(id);
}

bool DownloadManager::hasPending() const {
  return !requests.empty() || !streams.empty();
}

bool DownloadManager::sendShareRequest() {
  if (connection == 0)
    return false;
  if (state != shareToRequest)
    return false;
  if (extension->getWriter(connection)->writeReqShare(shareId, "", 0))
    state = shareRequested;
  return true;
}

bool DownloadManager::sendReleases() {
  if (connection == 0 || releases.empty())
    return false;
  MsgWriter* writer = extension->getWriter(connection);
  for (auto it = releases.begin(); it != releases.end();) {
    if (writer->writeReleaseShare(*it))
      it = releases.erase(it);
    else
      ++it;
  }
  return true;
}

bool DownloadManager::sendAborts() {
  if (connection == 0 || aborts.empty())
    return false;
  MsgWriter* writer = extension->getWriter(connection);
  for (auto it = aborts.begin(); it != aborts.end();) {
    if (writer->writeAbortFile(idOf(*it)))
      it = aborts.erase(it);
    else
      ++it;
  }
  return true;
}

bool DownloadManager::sendFileRequests() {
  if (connection == 0 || requests.empty())
    return false;
  MsgWriter* writer = extension->getWriter(connection);
  bool found = false;
  while (!requests.empty()) {
    auto it = requests.begin();
    FileId id = idOf(it->first);
    if (Stream* stream = getStream(id)) {
      found = true;
      std::uint64_t limit = stream->getLimit();
      std::uint8_t flags = extension->useCompression(connection) ? 1 : 0;
      const Request& r = it->second;
      if (!writer->writeReqFile(r.relName.c_str(), id, limit, r.start, r.end, flags))
        return true;
      vlog.status("Requested %s", plat::strOneLine(r.relName.c_str()).c_str());
      vlog.debug("id=(%lu, %lu), start=%llu, end=%llu, window=%llu",
                 static_cast<unsigned long>(id.shareId), static_cast<unsigned long>(id.fileId),
                 static_cast<unsigned long long>(r.start), static_cast<unsigned long long>(r.end),
                 static_cast<unsigned long long>(limit));
      stream->limit = limit;
    }
    requests.erase(it);
  }
  return found;
}

bool DownloadManager::renewLimits() {
  if (connection == 0)
    return false;
  MsgWriter* writer = extension->getWriter(connection);
  const int lwm = fileTransferLWM;
  const std::uint64_t threshold = static_cast<std::uint64_t>(static_cast<std::int64_t>(lwm));
  bool attempted = false;
  for (auto& s : streams) {
    if (requests.count(s.first))
      continue;
    Stream* stream = s.second;
    if (lwm != -1 && stream->limit - stream->received > threshold)
      continue;
    std::uint64_t limit = stream->getLimit();
    if (limit > stream->limit) {
      attempted = true;
      if (!writer->writeUpdateByteLimit(idOf(s.first), limit))
        return true;
      stream->limit = limit;
    }
  }
  return attempted;
}

} // namespace ft
