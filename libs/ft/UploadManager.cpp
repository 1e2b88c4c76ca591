#include "ft/UploadManager.h"

#include "ft/Extension.h"
#include "ft/MsgType.h"
#include "ft/MsgWriter.h"
#include "ft/PartialShareEnum.h"
#include "plat/LogWriter.h"
#include "plat/StringUtils.h"
#include "plat/Time.h"
#include "rdr/Exception.h"
#include "rdr/InStream.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

static plat::LogWriter vlog("UploadManager");

namespace ft {

namespace {
constexpr int pauseLogLevel = 101;
constexpr std::uint64_t maxChunk = 65535;
} // namespace

std::uint32_t UploadManager::drawShareId() {
  static bool seeded = false;
  if (!seeded) {
    srand(static_cast<unsigned>(plat::currentTime()));
    seeded = true;
  }
  std::uint32_t id;
  do {
    id = static_cast<std::uint32_t>(rand() & 255);
    id |= static_cast<std::uint32_t>(rand() & 255) << 8;
    id |= static_cast<std::uint32_t>(rand() & 255) << 16;
    id |= static_cast<std::uint32_t>(rand()) << 24;
  } while (id == 0);
  return id;
}

UploadManager::UploadManager(Extension* extension_)
    : nextShareId(drawShareId()), extension(extension_) {
}

UploadManager::~UploadManager() = default;

std::uint32_t UploadManager::newShare(std::uint32_t requestedId, std::uint32_t shareFlags) {
  if (requestedId == 0) {
    currentShareId = nextShareId;
    nextShareId = nextShareId == UINT32_MAX ? 1 : nextShareId + 1;
  } else {
    currentShareId = requestedId;
  }
  for (auto it = history.begin(); it != history.end();) {
    if (it->second->holders.empty())
      it = history.erase(it);
    else
      ++it;
  }
  std::unique_ptr<History>& record = history[currentShareId];
  if (!record)
    record.reset(new History());
  record->byName.clear();
  record->entries.clear();
  record->shareFlags = shareFlags;
  shareStates.clear();
  complete = false;
  return currentShareId;
}

void UploadManager::setComplete() {
  complete = true;
}

void UploadManager::addEntry(FileProxy* entry) {
  std::unique_ptr<FileProxy> owned(entry);
  std::unique_ptr<History>& record = history[currentShareId];
  if (!record)
    record.reset(new History());
  // The first entry of a name is the one served, as a scan would find it.
  record->byName.emplace(owned->name, owned.get());
  record->entries.push_back(owned.release());
}

const ManagedVector<FileProxy>* UploadManager::getEntries(std::uint32_t shareId) const {
  auto it = history.find(shareId);
  return it == history.end() ? nullptr : &it->second->entries;
}

const std::list<std::unique_ptr<UploadManager::Upload>>*
UploadManager::getUploads(ConnectionId connection) const {
  auto it = uploads.find(connection);
  return it == uploads.end() ? nullptr : &it->second;
}

void UploadManager::advertise(ConnectionId connection) {
  ShareState& state = shareStates[connection];
  state = ShareState();
  state.shareId = currentShareId;
  sendListing(connection);
}

void UploadManager::dropHolder(ConnectionId connection, std::uint32_t shareId) {
  auto it = history.find(shareId);
  if (it == history.end()) {
    vlog.debug("Ignoring unknown history sequence number %lu", static_cast<unsigned long>(shareId));
    return;
  }
  it->second->holders.erase(connection);
  if (it->second->holders.empty())
    history.erase(it);
}

void UploadManager::releaseShare(ConnectionId connection, std::uint32_t shareId) {
  dropHolder(connection, shareId);
}

void UploadManager::connectionClosed(ConnectionId connection) {
  std::vector<std::uint32_t> ids;
  for (auto& h : history)
    ids.push_back(h.first);
  for (std::uint32_t id : ids) {
    auto it = history.find(id);
    // Only shares this connection holds; the others keep their records.
    if (it != history.end() && it->second->holders.count(connection))
      releaseShare(connection, id);
  }
  shareStates.erase(connection);
  // A later connection may get the same key: it must not inherit these.
  withdrawals.erase(connection);
}

void UploadManager::withdrawShare(ConnectionId connection, std::uint32_t shareId) {
  dropHolder(connection, shareId);
  shareStates.erase(connection);
  withdrawals[connection].insert(shareId);
  sendWithdrawals(connection);
}

bool UploadManager::withdrawalPending(ConnectionId connection) const {
  auto it = withdrawals.find(connection);
  return it != withdrawals.end() && !it->second.empty();
}

void UploadManager::sendWithdrawals(ConnectionId connection) {
  auto it = withdrawals.find(connection);
  if (it == withdrawals.end()) {
    vlog.error("Share withdrawal not pending");
    return;
  }
  MsgWriter* writer = extension->getWriter(connection);
  std::set<std::uint32_t>& ids = it->second;
  while (!ids.empty()) {
    std::uint32_t id = *ids.begin();
    if (!writer->writeShareCtrl(id, shareWithdraw, 0))
      break;
    ids.erase(ids.begin());
  }
  if (ids.empty())
    withdrawals.erase(it);
}

bool UploadManager::listingPending(ConnectionId connection) const {
  auto it = shareStates.find(connection);
  if (it == shareStates.end() || it->second.state == ShareState::advertised)
    return false;
  if (complete)
    return true;
  const ManagedVector<FileProxy>* entries = getEntries(it->second.shareId);
  return entries && it->second.sent < entries->size();
}

void UploadManager::sendListing(ConnectionId connection) {
  auto it = shareStates.find(connection);
  if (it == shareStates.end()) {
    vlog.error("Share uploaded or not pending");
    return;
  }
  ShareState& state = it->second;
  if (state.state == ShareState::advertised) {
    vlog.error("File list not yet requested");
    return;
  }
  MsgWriter* writer = extension->getWriter(connection);
  auto h = history.find(state.shareId);
  if (state.state == ShareState::toAdvertise) {
    std::uint32_t flags = h != history.end() ? h->second->shareFlags : 0;
    if (writer->writeShareCtrl(state.shareId, shareAdvertise, flags)) {
      state.state = ShareState::advertised;
      if (h != history.end())
        h->second->holders.insert(connection);
    }
    return;
  }
  std::size_t total = h != history.end() ? h->second->entries.size() : 0;
  std::size_t left = total > state.sent ? total - state.sent : 0;
  vlog.debug("Upload %i share entries (%smore pending)", static_cast<int>(left),
             complete ? "no " : "");
  if (left > 0) {
    PartialShareEnum entries(h->second->entries, state.sent, state.directory.c_str(), state.depth,
                             &state.presented);
    writer->writeShareData(state.shareId, &entries);
    state.sent += static_cast<std::uint32_t>(entries.consumed());
  }
  if (complete && state.sent >= total && writer->writeShareDataEOF(state.shareId))
    state.state = ShareState::advertised;
}

bool UploadManager::handleShareRequest(ConnectionId connection, std::uint32_t shareId,
                                       const char* directory, std::uint32_t depth) {
  if (shareId != currentShareId) {
    vlog.notice("Request for share %u refused", static_cast<unsigned>(shareId));
    return false;
  }
  auto it = shareStates.find(connection);
  if (it == shareStates.end()) {
    vlog.error("Request from unknown connection");
    return false;
  }
  if (it->second.state != ShareState::advertised) {
    vlog.error("Share request in unexpected state %i", static_cast<int>(it->second.state));
    return false;
  }
  it->second.state = ShareState::listingRequested;
  it->second.directory = directory ? directory : "";
  it->second.depth = depth;
  it->second.sent = 0;
  it->second.presented = PartialShareEnum::Presented();
  return true;
}

bool UploadManager::handleFileRequest(ConnectionId connection, const char* name, FileId id,
                                      std::uint64_t limit, std::uint64_t start, std::uint64_t end,
                                      bool compressed) {
  // A burst of requests may leave many refusals waiting for an output turn:
  // at the bound they go out now, as far as the peer reads them. A peer
  // that floods requests without reading the answers would make them pile
  // up without bound, and a request dropped instead would never be
  // answered: its file transfer ends.
  std::size_t refusals = unsentRefusals(connection);
  if (refusals >= maxUnsentRefusals)
    refusals = sendRefusals(connection);
  if (refusals >= maxUnsentRefusals) {
    plat::ExceptionFmt e("File transfer ended: the viewer asked for files without reading the "
                         "answers (%u refusals not sent)",
                         static_cast<unsigned>(refusals));
    vlog.error("%s", e.str());
    throw e;
  }
  std::unique_ptr<Upload> upload(new Upload());
  upload->name = name ? name : "";
  upload->id = id;
  FileProxy* entry = nullptr;
  auto h = history.find(id.shareId);
  if (h != history.end()) {
    auto found = h->second->byName.find(upload->name);
    if (found != h->second->byName.end())
      entry = found->second;
  }
  std::string failure;
  if (!entry) {
    plat::ExceptionFmt e("File not shared: %s", upload->name.c_str());
    failure = e.str();
  } else if (!(upload->ticket = OpenFileBudget::uploads().take(connection)).held()) {
    OpenFileBudget& budget = OpenFileBudget::uploads();
    plat::ExceptionFmt e(
        "Too many files requested at once (at most %u): %s",
        static_cast<unsigned>(std::min(budget.perConnectionBound(), budget.totalBound())),
        upload->name.c_str());
    vlog.status("%s", plat::strOneLine(e.str()).c_str());
    failure = e.str();
  } else {
    vlog.debug("Request received for file %s", plat::strOneLine(upload->name.c_str()).c_str());
    try {
      upload->is.reset(entry->open(start, connection, this));
    } catch (plat::Exception& e) {
      vlog.error("%s", e.str());
      failure = e.str();
    }
  }
  bool ok = upload->is != nullptr;
  if (ok) {
    upload->position = start;
    upload->limit = std::min(limit, end);
    upload->start = start;
    upload->end = end;
    upload->compression = compressed ? -1 : 0;
  } else {
    upload->ticket.giveBack();
    upload->hasError = true;
    upload->error = failure;
    upload->compression = -1;
  }
  uploads[connection].push_back(std::move(upload));
  return ok;
}

std::size_t UploadManager::unsentRefusals(ConnectionId connection) const {
  std::size_t refusals = 0;
  auto it = uploads.find(connection);
  if (it != uploads.end())
    for (const std::unique_ptr<Upload>& u : it->second)
      refusals += !u->is;
  return refusals;
}

std::size_t UploadManager::sendRefusals(ConnectionId connection) {
  auto it = uploads.find(connection);
  if (it == uploads.end())
    return 0;
  std::vector<Upload*> refused;
  for (const std::unique_ptr<Upload>& u : it->second)
    if (!u->is)
      refused.push_back(u.get());
  // A refusal that stays after its step is one the peer could not take.
  for (Upload* u : refused) {
    FileId id = u->id;
    if (!step(connection, u) || findUpload(connection, id) == u)
      break;
  }
  return unsentRefusals(connection);
}

UploadManager::Upload* UploadManager::findUpload(ConnectionId connection, FileId id) {
  auto it = uploads.find(connection);
  if (it == uploads.end())
    return nullptr;
  for (auto& u : it->second)
    if (u->id == id)
      return u.get();
  return nullptr;
}

bool UploadManager::abortUpload(ConnectionId connection, FileId id) {
  Upload* upload = findUpload(connection, id);
  if (!upload)
    return false;
  vlog.status("%s upload", "Aborting");
  endUpload(connection, upload);
  return true;
}

void UploadManager::handleByteLimit(ConnectionId connection, FileId id, std::uint64_t limit) {
  Upload* upload = findUpload(connection, id);
  if (!upload) {
    vlog.debug("Renewal request for non-existent upload");
    return;
  }
  if (upload->position > limit)
    vlog.error("upTo decreased but already sent too much");
  upload->limit = std::min(limit, upload->end);
}

void UploadManager::endUpload(ConnectionId connection, Upload* upload) {
  auto it = uploads.find(connection);
  if (it == uploads.end())
    return;
  it->second.remove_if([upload](const std::unique_ptr<Upload>& u) { return u.get() == upload; });
  if (it->second.empty())
    uploads.erase(it);
}

void UploadManager::abortAll(ConnectionId connection) {
  uploads.erase(connection);
}

// An upload has something to send: a failure to report, its end of file
// (also when an earlier end-of-file message was refused), or data within
// its limit. sendData serves exactly the uploads this accepts.
static bool hasWork(const UploadManager::Upload& u) {
  return !u.is || u.position >= u.end || u.position < u.limit;
}

bool UploadManager::uploadReady(ConnectionId connection) {
  auto it = uploads.find(connection);
  if (it == uploads.end())
    return false;
  bool ready = false;
  for (auto& u : it->second) {
    if (!u->paused && u->position >= u->limit && u->position < u->end) {
      vlog.write(pauseLogLevel, "upload paused");
      u->paused = true;
    } else if (u->paused && u->position < u->limit) {
      vlog.write(pauseLogLevel, "upload resuming (%i)", static_cast<int>(u->limit - u->position));
      u->paused = false;
    }
    if (hasWork(*u))
      ready = true;
  }
  return ready;
}

bool UploadManager::sendData(ConnectionId connection) {
  auto it = uploads.find(connection);
  if (it == uploads.end())
    return false;
  std::vector<Upload*> order;
  for (auto& u : it->second)
    order.push_back(u.get());
  for (Upload* u : order) {
    if (!hasWork(*u))
      continue;
    if (step(connection, u))
      return true;
  }
  return false;
}

bool UploadManager::sendChunk(ConnectionId connection, Upload* u) {
  std::uint64_t chunk = u->position < u->limit ? std::min(u->limit - u->position, maxChunk) : 0;
  if (chunk == 0 || !u->is)
    return false;
  MsgWriter* writer = extension->getWriter(connection);
  try {
    if (u->compression == -1) {
      rdr::InStream* is = u->is.get();
      if (is->avail() == 0)
        is->overrun(false, 1);
      int ready = is->avail();
      int n = std::min<std::uint64_t>({1024, static_cast<std::uint64_t>(ready), chunk});
      u->compression = n > 0 && MsgWriter::isCompressible(is->getptr(), n) ? 1 : 0;
    }
    int n = writer->writeFileData(u->id, u->is.get(), static_cast<int>(chunk), u->compression == 1);
    if (n <= 0)
      return false;
    u->position += static_cast<std::uint64_t>(n);
    for (Listener* l : std::vector<Listener*>(listeners.begin(), listeners.end()))
      l->dataSent(connection, u->id.shareId, u->name.c_str(), static_cast<std::uint64_t>(n));
    return true;
  } catch (rdr::EndOfStream&) {
    u->limit = u->end = u->position;
    for (Listener* l : std::vector<Listener*>(listeners.begin(), listeners.end()))
      l->endChanged(connection, u->id.shareId, u->name.c_str(), u->end);
  } catch (plat::Exception& e) {
    vlog.error("file read/network write failed: %s", e.str());
    u->hasError = true;
    u->error = e.str();
  }
  return false;
}

UploadManager::Report UploadManager::sendFailure(ConnectionId connection, Upload* u) {
  try {
    if (!extension->getWriter(connection)->writeFileError(u->id, u->error.c_str()))
      return Report::refused;
  } catch (plat::Exception& e) {
    vlog.error("writeFileError failed: %s", e.str());
    u->hasError = false;
    return Report::failed;
  }
  // Sent once: a refused end of file that follows does not repeat it.
  u->hasError = false;
  return Report::written;
}

bool UploadManager::sendEnd(ConnectionId connection, Upload* u) {
  try {
    return extension->getWriter(connection)->writeFileEOF(u->id) > 0;
  } catch (plat::Exception& e) {
    vlog.error("writeFileEOF failed: %s", e.str());
    return false;
  }
}

// One step: file data within the limit, then the report of a failure, then
// the end of file, each only as far as the one before allows. The upload is
// done once its failure was reported (a failed request also needs its end
// of file) or its end of file went out; a step that wrote something and is
// not done sends the upload to the back of the queue.
bool UploadManager::step(ConnectionId connection, Upload* u) {
  bool wrote = sendChunk(connection, u);
  bool done = false;
  // A refused report holds back the end of file it would otherwise hide.
  bool reportWaits = false;
  if (u->hasError) {
    Report report = sendFailure(connection, u);
    reportWaits = report == Report::refused;
    wrote = wrote || report == Report::written;
    done = report == Report::failed || (report == Report::written && u->is);
  }
  if (!reportWaits && (!u->is || u->position >= u->end)) {
    done = sendEnd(connection, u);
    wrote = wrote || done;
  }
  if (done) {
    endUpload(connection, u);
  } else if (wrote) {
    auto it = uploads.find(connection);
    if (it != uploads.end()) {
      auto pos = std::find_if(it->second.begin(), it->second.end(),
                              [u](const std::unique_ptr<Upload>& p) { return p.get() == u; });
      if (pos != it->second.end())
        it->second.splice(it->second.end(), it->second, pos);
    }
  }
  return wrote;
}

} // namespace ft
