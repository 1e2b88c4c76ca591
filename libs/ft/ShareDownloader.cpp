#include "ft/ShareDownloader.h"

#include "ft/DownloadManager.h"
#include "ft/DownloadSpeedEstimator.h"
#include "ft/Extension.h"
#include "ft/Farewell.h"
#include "ft/ShareProxy.h"
#include "plat/Exception.h"
#include "plat/FileOps.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"
#include "plat/ParentDirectory.h"
#include "plat/StringUtils.h"
#include "plat/Time.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <sys/stat.h>

static plat::LogWriter vlog("ShareDownloader");

// Files in flight per download are capped at what a source serves at once;
// each takes a slot, so a huge setting must not allocate its slots. The
// setting keeps its full range, so that stored values stay valid.
static constexpr int maxConcurrency = 64;
static plat::IntParameter ftConcurrency("ftConcurrency",
                                        "The number of concurrent downloads within a single share.",
                                        8, 1, INT_MAX);

namespace ft {

// Files being started, in any downloader.
static int startsUnderWay = 0;

// A long name as a message quotes it: shown on one line, and cut after its
// first 64 bytes (at the start of a character) with "..." appended.
static std::string shortName(const std::string& name) {
  std::string shown = plat::strOneLine(name.c_str());
  if (shown.size() <= 64)
    return shown;
  size_t cut = 64;
  while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80)
    cut--;
  return shown.substr(0, cut) + "...";
}

// The length in bytes of the longest "/"-separated part of a listed name.
static size_t longestPart(const std::string& name) {
  size_t longest = 0;
  for (size_t start = 0;;) {
    size_t slash = name.find('/', start);
    size_t end = slash == std::string::npos ? name.size() : slash;
    longest = std::max(longest, end - start);
    if (slash == std::string::npos)
      return longest;
    start = slash + 1;
  }
}

// Whatever has the name takes it, a symbolic link included, even one that
// points nowhere: the exclusive create of a file, and the making of a
// folder, fail on it as on anything else.
static bool systemFileExists(const char* path) {
  struct stat st;
  if (lstat(path, &st) == 0)
    return true;
  if (errno == ENOENT)
    return false;
  throw plat::SystemExceptionFmt("fileExists(%s)", errno, path);
}

bool (*ShareDownloader::Download::fileExistsFn)(const char*) = systemFileExists;

ShareDownloader::Download::Download(ShareProxy* share_, const std::string& folder_, int slotCount)
    : share(share_), slots(static_cast<size_t>(slotCount)) {
  share->ref();
  id = Id(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(share->getManager())),
          share->getShareId());
  for (std::uint32_t i = 0; i < share->size(); i++)
    total += (*share)[i]->size;
  start = idleSince = plat::currentTime();
  folder = folder_;
  if (folder.empty() || folder.back() != '/')
    folder += '/';
}

ShareDownloader::Download::~Download() {
  share->unref();
}

std::string ShareDownloader::Download::mappedPath(const std::string& name) const {
  std::string prefix = name;
  for (;;) {
    auto it = renames.find(prefix);
    if (it != renames.end())
      return it->second + name.substr(prefix.size());
    size_t slash = prefix.rfind('/');
    if (slash == std::string::npos)
      return name;
    prefix.resize(slash);
  }
}

std::string ShareDownloader::Download::localPath(const std::string& name) const {
  return folder + mappedPath(name);
}

void ShareDownloader::Download::makeClashFree(const std::string& name, int tries) {
  size_t pos = 0;
  for (;;) {
    size_t slash = name.find('/', pos);
    std::string prefix = name.substr(0, slash);
    if (!freeNames.count(prefix) && !renames.count(prefix))
      resolve(prefix, tries);
    if (slash == std::string::npos)
      return;
    pos = slash + 1;
  }
}

void ShareDownloader::Download::forgetNames(const std::string& name) {
  // Deepest first: the local path of a name depends on the folders above it,
  // which must still be mapped when it is looked at.
  std::string prefix = name;
  for (bool own = true;; own = false) {
    if (own || !plat::isDirectory(localPath(prefix).c_str())) {
      std::string below = prefix + "/";
      auto own = freeNames.find(prefix);
      if (own != freeNames.end())
        erase(freeNames, own, std::next(own));
      auto ownRename = renames.find(prefix);
      if (ownRename != renames.end())
        erase(renames, ownRename, std::next(ownRename));
      erase(freeNames, freeNames.lower_bound(below), freeNames.lower_bound(prefix + "0"));
      erase(renames, renames.lower_bound(below), renames.lower_bound(prefix + "0"));
    }
    size_t slash = prefix.rfind('/');
    if (slash == std::string::npos)
      return;
    prefix.resize(slash);
  }
}

// What a remembered name, or a name and the name it is stored under, holds.
static size_t bytesOf(const std::string& name) {
  return name.size();
}
static size_t bytesOf(const std::pair<const std::string, std::string>& rename) {
  return rename.first.size() + rename.second.size();
}

template <class Names>
void ShareDownloader::Download::erase(Names& names, typename Names::iterator from,
                                      typename Names::iterator to) {
  for (auto it = from; it != to; ++it)
    nameBytes -= bytesOf(*it);
  names.erase(from, to);
}

void ShareDownloader::Download::rename(const std::string& name, const std::string& mapped) {
  auto it = renames.find(name);
  if (it != renames.end())
    erase(renames, it, std::next(it));
  nameBytes += bytesOf(*renames.emplace(name, mapped).first);
}

void ShareDownloader::Download::resolve(const std::string& path, int tries) {
  if (!fileExistsFn(localPath(path).c_str())) {
    freeNames.insert(path);
    nameBytes += bytesOf(path);
    return;
  }
  rename(path, numberedName(mappedPath(path), tries));
}

bool ShareDownloader::Download::isPlaced(const std::string& name) const {
  // The name itself, or any name below it ("/" sorts just before "0").
  return placed.count(name) != 0 ||
         placed.lower_bound(name + "/") != placed.lower_bound(name + "0");
}

void ShareDownloader::Download::markPlaced(const std::string& name) {
  if (placed.insert(name).second)
    nameBytes += bytesOf(name);
}

std::string ShareDownloader::Download::numberedName(const std::string& mapped, int tries) const {
  // The extension is that of the last component only: a dot in a folder
  // name above it must not move the number into that folder's name.
  std::string base = mapped, extension;
  size_t dot = mapped.rfind('.');
  size_t slash = mapped.rfind('/');
  bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  if (hasExtension) {
    base = mapped.substr(0, dot);
    extension = mapped.substr(dot + 1);
  }
  for (int i = 1; i <= tries; i++) {
    char number[32];
    snprintf(number, sizeof(number), " (%i)", i);
    std::string candidate = base + number;
    if (hasExtension)
      candidate += "." + extension;
    if (!fileExistsFn((folder + candidate).c_str()))
      return candidate;
  }
  throw plat::Exception("Too many name clashes");
}

ShareDownloader::ShareDownloader() {
  OpenFileBudget::downloads().addWaiter(this);
}

ShareDownloader::~ShareDownloader() {
  OpenFileBudget::downloads().removeWaiter(this);
  // A stream left running would report to a downloader that is gone: the
  // files in flight are aborted. Their ends find no record any more.
  std::list<DownloadPtr> all;
  all.swap(downloads);
  for (const DownloadPtr& d : all)
    d->removed = true;
  for (const DownloadPtr& d : all)
    abort(d);
}

ShareDownloader::DownloadPtr ShareDownloader::find(Id id) const {
  for (const DownloadPtr& d : downloads)
    if (d->id == id)
      return d;
  return nullptr;
}

ShareDownloader::DownloadPtr ShareDownloader::findByStream(FileStream* stream, size_t* slot) const {
  for (const DownloadPtr& d : downloads)
    for (size_t k = 0; k < d->slots.size(); k++)
      if (d->slots[k].stream == stream) {
        *slot = k;
        return d;
      }
  return nullptr;
}

void ShareDownloader::remove(const DownloadPtr& d) {
  d->removed = true;
  downloads.remove(d);
}

void ShareDownloader::refuse(const DownloadPtr& d, const plat::Exception& e) {
  vlog.error("%s", e.str());
  d->removed = true;
  if (callback)
    callback->downloadFailed(d->id, e.str(), false);
  abort(d);
}

void ShareDownloader::download(ShareProxy* share, const char* folder) {
  DownloadPtr d =
      std::make_shared<Download>(share, folder, std::min(ftConcurrency.getValue(), maxConcurrency));
  std::set<std::string> topLevel;
  for (std::uint32_t i = 0; i < share->size(); i++) {
    const std::string& name = (*share)[i]->name;
    topLevel.insert(name.substr(0, name.find('/')));
  }
  if (callback) {
    callback->downloadStarted(d->id, topLevel);
    // The folder is known from the start: a download that completes at once
    // (only folders) can still show where it went.
    callback->setRootDir(d->id, d->folder.c_str());
  }
  // A name with a part longer than a folder can hold, or longer as a whole
  // than a path can be in the download folder, would fail at every try, and
  // the entries after it would never start: the share is refused whole,
  // before anything is made.
  const size_t room = d->folder.size() < PATH_MAX ? PATH_MAX - 1 - d->folder.size() : 0;
  d->nameBound = Download::nameSlack;
  for (std::uint32_t i = 0; i < share->size(); i++) {
    const std::string& name = (*share)[i]->name;
    // Each listed name is held twice (found free, and stored), and folders
    // above it that are not listed themselves are shorter than it: a tree
    // with up to two such folders above each name is within the bound.
    d->nameBound += 4 * name.size();
    if (longestPart(name) > NAME_MAX) {
      refuse(d,
             plat::ExceptionFmt("%s cannot be saved: a part of its name is longer than %d bytes.",
                                shortName(name).c_str(), NAME_MAX));
      return;
    }
    if (name.size() > room) {
      refuse(d, plat::ExceptionFmt("%s cannot be saved: its name is longer than %zu bytes, the "
                                   "most a path in the download folder can hold.",
                                   shortName(name).c_str(), room));
      return;
    }
  }
  // The record is listed before its first files start, so that anything
  // those starts report back finds it.
  downloads.push_back(d);
  for (size_t k = 0; k < d->slots.size(); k++) {
    if (!startNext(d, k))
      return;
    if (d->removed)
      return;
  }
}

bool ShareDownloader::startNext(const DownloadPtr& d, size_t k) {
  // Counted outside the object: a report made while starting may destroy
  // the downloader.
  struct Starting {
    Starting() { startsUnderWay++; }
    ~Starting() { startsUnderWay--; }
  } starting;
  ShareProxy* share = d->share;
  d->slots[k].waiting = false;
  for (;;) {
    if (d->next >= share->size()) {
      for (const Download::Slot& slot : d->slots)
        if (slot.stream)
          return true;
      finishDownload(d);
      return false;
    }
    const ShareEntry* e = (*share)[d->next];
    DownloadManager* owner = share->getManager();
    if (!e->isDirectory() && owner && owner->getConnection() != 0 &&
        !OpenFileBudget::downloads().available(owner->getConnection())) {
      d->slots[k].waiting = true;
      return true;
    }
    if (callback)
      callback->downloadNote(d->id, e->getName());
    // An entry whose name an earlier entry of the listing holds already (the
    // same name listed twice, a file named as a folder, or the other way
    // round) is stored beside it under a numbered name. A file takes it for
    // itself alone, so that a folder of that name keeps its contents; a
    // folder takes it for what is listed under it too.
    std::string numbered;
    // Each folder above each name is remembered while the share is saved: a
    // listing of deep names that all differ would hold far more than the
    // listing itself (every name once for each folder above it).
    if (d->nameBytes > d->nameBound) {
      remove(d);
      refuse(d, plat::ExceptionFmt("%s cannot be saved: its folders are nested too deeply.",
                                   shortName(e->name).c_str()));
      return false;
    }
    try {
      bool taken = d->isPlaced(e->name);
      d->makeClashFree(e->name, 1000);
      if (taken && !e->isDirectory())
        numbered = d->numberedName(d->mappedPath(e->name), 1000);
      else if (taken && !plat::isDirectory(d->localPath(e->name).c_str()))
        d->rename(e->name, d->numberedName(d->mappedPath(e->name), 1000));
    } catch (plat::SystemException& ex) {
      const char* text = ex.getErrno() == 11
                             ? "Storage device is not ready or media/disk is not present."
                             : ex.str();
      if (callback)
        callback->downloadFailed(d->id, text, true);
      return true;
    } catch (plat::Exception& ex) {
      if (callback)
        callback->downloadFailed(d->id, ex.str(), true);
      return true;
    }
    try {
      std::string path = numbered.empty() ? d->localPath(e->name) : d->folder + numbered;
      if (!e->isDirectory()) {
        plat::ParentDirectory parent(path.c_str());
        if (!plat::isDirectory(parent.c_str()))
          plat::mkDirWithParents(parent.c_str(), true, false);
        DownloadManager* manager = share->getManager();
        if (!manager || manager->getConnection() == 0)
          throw plat::Exception("The files are no longer available.");
        FileStream* stream = new FileStream(
            path.c_str(), e, this, OpenFileBudget::downloads().take(manager->getConnection()));
        FileId fid{share->getShareId(), d->next};
        manager->addStream(fid, stream);
        d->slots[k].stream = stream;
        d->slots[k].entry = d->next;
        d->slots[k].onDisk = 0;
        d->markPlaced(e->name);
        d->next++;
        manager->addFileRequest(fid, e->getName(), 0, ~std::uint64_t(0));
        manager->sendFileRequests();
        if (callback && !d->removed)
          callback->setTopLevelPath(d->id, path.c_str());
        return true;
      }
      plat::mkDirWithParents(path.c_str(), true, false);
      d->markPlaced(e->name);
      d->folders.emplace_back(path, d->next);
      if (callback)
        callback->setTopLevelPath(d->id, path.c_str());
      d->next++;
    } catch (plat::ParentDirectory::PathIsRoot&) {
      if (callback)
        callback->downloadFailed(d->id, "Invalid download folder.", true);
      return true;
    } catch (plat::ParentDirectory::NotAPath&) {
      if (callback)
        callback->downloadFailed(d->id, "Invalid download folder.", true);
      return true;
    } catch (plat::Exception& ex) {
      // A name found free may have been taken before the exclusive create
      // ("File exists"), or a folder's name by a file: the next try checks
      // them again.
      d->forgetNames(e->name);
      if (callback)
        callback->downloadFailed(d->id, ex.str(), true);
      return true;
    }
  }
}

void ShareDownloader::applyFolderModes(const DownloadPtr& d) {
  // Deepest first, after every file below is written: a folder without
  // write permission must not fail its own contents.
  for (auto it = d->folders.rbegin(); it != d->folders.rend(); ++it) {
    try {
      FileStream::setFolderMode(it->first.c_str(), (*d->share)[it->second]);
    } catch (plat::Exception& ex) {
      vlog.error("%s", ex.str());
    }
  }
}

void ShareDownloader::finishDownload(const DownloadPtr& d) {
  std::uint64_t elapsed = plat::currentTime() - d->start;
  if (elapsed == 0)
    elapsed = 1;
  std::string rate = DownloadSpeedEstimator::formatRate(d->total * 10000000 / elapsed);
  vlog.status("Download complete. Average speed %s.", rate.c_str());
  vlog.debug("Idle time: %ims (%i%%)", static_cast<int>(d->idle / 10000),
             static_cast<int>(d->idle * 100 / elapsed));
  remove(d);
  applyFolderModes(d);
  if (callback)
    callback->downloadComplete(d->id);
  if (DownloadManager* manager = d->share->getManager()) {
    manager->queueRelease(d->share->getShareId());
    manager->sendReleases();
  }
}

void ShareDownloader::abort(const DownloadPtr& d) {
  std::vector<Download::Slot> slots = d->slots;
  for (const Download::Slot& slot : slots) {
    if (!slot.stream)
      continue;
    slot.stream->paused = false;
    FileId fid{d->share->getShareId(), slot.entry};
    DownloadManager* manager = d->share->getManager();
    if (manager && manager->getStream(fid) == slot.stream) {
      // The stream is finished before the abort is sent.
      farewell(vlog, "Aborting a file", [&] { manager->cancel(fid); });
      continue;
    }
    // The manager let go of a stream whose end the pause held: the source
    // has sent everything, and only the stream itself can end it now. Left
    // alone it would report to a record (or a downloader) that is gone.
    slot.stream->finish("Download cancelled");
  }
  if (DownloadManager* manager = d->share->getManager()) {
    manager->queueRelease(d->share->getShareId());
    farewell(vlog, "Releasing a share", [&] { manager->sendReleases(); });
  }
}

void ShareDownloader::cancel(Id id) {
  DownloadPtr d = find(id);
  if (!d)
    return;
  remove(d);
  abort(d);
}

void ShareDownloader::pause(Id id) {
  DownloadPtr d = find(id);
  if (!d)
    return;
  for (const Download::Slot& slot : d->slots)
    if (slot.stream)
      slot.stream->paused = true;
}

bool ShareDownloader::resume(Id id) {
  DownloadPtr d = find(id);
  if (!d)
    return false;
  bool result = false;
  std::vector<Download::Slot> slots = d->slots;
  for (size_t k = 0; k < slots.size() && !d->removed; k++) {
    FileStream* stream = slots[k].stream;
    if (!stream || d->slots[k].stream != stream)
      continue;
    stream->paused = false;
    result = true;
    if (!stream->flushBuffer()) {
      // A stream whose deferred end ran is gone (completed), as is one the
      // owner ended from its progress report (the record is then removed);
      // one that is still there could not write its buffer out.
      if (!d->removed && d->slots[k].stream == stream)
        return false;
      continue;
    }
    if (DownloadManager* manager = d->share->getManager())
      manager->renewLimits();
  }
  // Slots that a name or folder failure left free start again.
  for (size_t k = 0; k < d->slots.size() && !d->removed; k++) {
    if (d->slots[k].stream || d->next >= d->share->size())
      continue;
    std::uint32_t before = d->next;
    if (!startNext(d, k))
      break;
    if (d->next != before)
      result = true;
  }
  // A download that ended meanwhile has reported its end.
  return result && !d->removed;
}

void ShareDownloader::filesFreed() {
  // A ticket that comes back while a file is being started is one that the
  // start took and gave up itself.
  if (startsUnderWay > 0)
    return;
  // A start may end downloads (or add none): walk a copy, in the order the
  // downloads began.
  std::list<DownloadPtr> order(downloads);
  for (const DownloadPtr& d : order) {
    for (size_t k = 0; k < d->slots.size() && !d->removed; k++) {
      if (!d->slots[k].waiting)
        continue;
      DownloadManager* manager = d->share->getManager();
      if (manager && manager->getConnection() != 0 &&
          !OpenFileBudget::downloads().available(manager->getConnection()))
        break;
      if (!startNext(d, k))
        break;
    }
  }
}

void ShareDownloader::showMessage(const char* text) {
  if (callback)
    callback->showMessage(text);
}

void ShareDownloader::progress(FileStream* stream, std::uint64_t onDisk) {
  size_t k = 0;
  DownloadPtr d = findByStream(stream, &k);
  if (!d)
    return;
  std::uint64_t now = plat::currentTime();
  if (d->idleSince) {
    d->idle += now - d->idleSince;
    d->idleSince = 0;
  }
  d->slots[k].onDisk = onDisk;
  std::uint64_t sum = d->done;
  for (const Download::Slot& slot : d->slots)
    sum += slot.onDisk;
  if (callback)
    callback->downloadProgress(d->id, sum, d->total, d->next - 1, d->share->size());
  DownloadManager* manager = d->share->getManager();
  if (manager && manager->getConnection() != 0)
    manager->getExtension()->scheduleWriteMsg(manager->getConnection());
}

void ShareDownloader::writeFailed(FileStream* stream, const char* message) {
  size_t k = 0;
  DownloadPtr d = findByStream(stream, &k);
  if (!d)
    return;
  pause(d->id);
  if (callback)
    callback->downloadFailed(d->id, message, true);
}

void ShareDownloader::complete(FileStream* stream) {
  size_t k = 0;
  DownloadPtr d = findByStream(stream, &k);
  if (!d)
    return;
  d->done += d->slots[k].onDisk;
  d->slots[k] = Download::Slot();
  if (!startNext(d, k) || d->removed)
    return;
  bool receiving = false;
  for (const Download::Slot& slot : d->slots)
    if (slot.onDisk)
      receiving = true;
  if (!receiving && !d->idleSince)
    d->idleSince = plat::currentTime();
  // A record whose slots are all free but that has not completed (a name or
  // folder failure) stays, so that a retry can go on with it.
}

void ShareDownloader::failed(FileStream* stream, const char* message) {
  size_t k = 0;
  DownloadPtr d = findByStream(stream, &k);
  if (!d)
    return;
  d->slots[k] = Download::Slot();
  remove(d);
  if (callback)
    callback->downloadFailed(d->id, message, false);
  // The download has ended: its other files are aborted rather than left
  // running unreported.
  abort(d);
}

} // namespace ft
