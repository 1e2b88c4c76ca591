#include "ft/unix/ShareWriter.h"

#include "ft/Extension.h"
#include "ft/Farewell.h"
#include "ft/UploadManager.h"
#include "ft/unix/FileProxyUnixFile.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <string>

static plat::LogWriter vlog("ShareWriter");

namespace ft {

ShareWriter::ShareWriter(UploadManager* manager_, std::uint32_t shareFlags_)
    : manager(manager_), shareFlags(shareFlags_) {
}

ShareWriter::~ShareWriter() {
  if (!started)
    return;
  manager->setComplete();
  // A peer gone meanwhile makes the advertisement fail; the share stays
  // complete for the connections still there.
  farewell(vlog, "Advertising the share",
           [this] { manager->getExtension()->advertiseShare(manager); });
}

void ShareWriter::begin() {
  if (started)
    return;
  manager->newShare(0, shareFlags);
  started = true;
}

void ShareWriter::addEntry(FileProxy* entry) {
  std::unique_ptr<FileProxy> owned(entry);
  begin();
  manager->addEntry(owned.release());
}

void ShareWriter::addFile(const char* path, const char* name) {
  vlog.debug("addFile(%s,%s)", path, name);
  // Names travel to the peer, which refuses a listing holding a bad one.
  try {
    ShareEntry::checkName(name);
  } catch (plat::Exception& e) {
    throw plat::ExceptionFmt("%s: %s", path, e.str());
  }
  std::unique_ptr<FileProxyUnixFile> proxy(new FileProxyUnixFile(path, name));
  bool directory = proxy->isDirectory();
  std::pair<dev_t, ino_t> key(proxy->getDevice(), proxy->getInode());
  if (directory && !walked.insert(key).second)
    throw plat::ExceptionFmt("%s: directory already in the share", path);
  addEntry(proxy.release());
  if (!directory)
    return;

  DIR* dir = opendir(path);
  if (!dir) {
    vlog.error("%s", plat::SystemExceptionFmt("opendir(%s)", errno, path).str());
    return;
  }
  std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, closedir);
  while (struct dirent* d = readdir(dir)) {
    if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
      continue;
    std::string childPath = std::string(path) + "/" + d->d_name;
    std::string childName = std::string(name) + "/" + d->d_name;
    // Receivers refuse longer names, and with them the whole listing.
    if (childName.size() > static_cast<std::size_t>(ShareEntry::maxNameLength)) {
      vlog.status("Leaving out %s: its name in the share is longer than %d bytes",
                  childPath.c_str(), ShareEntry::maxNameLength);
      continue;
    }
    try {
      addFile(childPath.c_str(), childName.c_str());
    } catch (plat::Exception& e) {
      vlog.status("Skipping: %s", e.str());
    }
  }
}

void ShareWriter::addPath(const char* path) {
  std::string trimmed(path);
  while (trimmed.size() > 1 && trimmed.back() == '/')
    trimmed.pop_back();
  std::string::size_type slash = trimmed.rfind('/');
  std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
  addFile(trimmed.c_str(), name.c_str());
}

} // namespace ft
