#include "ft/DownloadManager.h"

#include "ft/Extension.h"
#include "ft/MsgWriter.h"
#include "ft/ShareProxy.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"
#include "plat/Time.h"

#include <memory>
#include <vector>

static plat::LogWriter vlog("DownloadManager");

static plat::IntParameter
    fileTransferLWM("FileTransferLWM",
                    "Number of outstanding bytes before renewing a download, or -1 to disable "
                    "renewal suppression.",
                    -1);

namespace ft {

namespace {
// Far above any real folder: a listing beyond either is refused.
constexpr std::size_t maxListingEntries = 1000000;
constexpr std::uint64_t maxListingNameBytes = std::uint64_t(256) << 20;
} // namespace

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
  nameBytes = 0;
  shareId = id;
  shareFlags = flags;
  state = id != 0 ? shareToRequest : noShare;
  extension->scheduleWriteMsg(connection);
}

void DownloadManager::addEntry(ShareEntry* entry) {
  std::unique_ptr<ShareEntry> owned(entry);
  nameBytes += owned->name.size();
  if (entries.size() >= maxListingEntries || nameBytes > maxListingNameBytes) {
    refuseShare();
    return;
  }
  entries.push_back(owned.release());
}

void DownloadManager::handOverEntries(ManagedVector<ShareEntry>* to) {
  to->takeAll(entries);
  nameBytes = 0;
}

void DownloadManager::refuseShare() {
  std::uint32_t refused = shareId;
  entries.clear();
  nameBytes = 0;
  // The rest of its listing finds no share to join.
  shareId = 0;
  state = noShare;
  plat::ExceptionFmt reason("The files offered could not be received: their list is longer "
                            "than %u entries or %u MB of names.",
                            static_cast<unsigned>(maxListingEntries),
                            static_cast<unsigned>(maxListingNameBytes >> 20));
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
    nameBytes = 0;
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
      vlog.status("Requested %s", r.relName.c_str());
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
