#include "ui/DirBrowser.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/ParentDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

static plat::LogWriter vlog("DirBrowser");

namespace ui {

DirBrowser::DirBrowser() : dir_(nullptr), flags_(ListFiles) {
}

DirBrowser::~DirBrowser() {
  closeListing();
}

void DirBrowser::closeListing() {
  if (dir_)
    closedir(dir_);
  dir_ = nullptr;
}

void DirBrowser::setPath(const char* path) {
  char resolved[PATH_MAX];
  if (path && realpath(path, resolved))
    TreeBrowser::setPath(resolved);
  else
    TreeBrowser::setPath(path);
}

void DirBrowser::startListing() {
  closeListing();
  dir_ = opendir(path_.c_str());
  if (dir_)
    return;
  int err = errno;
  if (err == ENOENT)
    return;
  throw plat::SystemException("opendir", err);
}

bool DirBrowser::nextItem(std::string* name, bool* isDirectory) {
  while (dir_) {
    errno = 0;
    struct dirent* entry = readdir(dir_);
    if (!entry) {
      if (errno)
        vlog.error("readdir(%s): %s", path_.c_str(), strerror(errno));
      closeListing();
      return false;
    }
    const char* n = entry->d_name;
    if (strcmp(n, ".") == 0)
      continue;
    if (n[0] == '.' && strcmp(n, "..") != 0 && !(flags_ & ShowHidden))
      continue;
    std::string full = path_.c_str();
    if (!full.empty() && full.back() != '/')
      full += '/';
    full += n;
    struct stat st;
    if (stat(full.c_str(), &st) != 0)
      throw plat::SystemExceptionFmt("stat(%s)", errno, full.c_str());
    bool directory = S_ISDIR(st.st_mode);
    if (!directory && !(flags_ & ListFiles))
      continue;
    *name = n;
    *isDirectory = directory;
    return true;
  }
  return false;
}

bool DirBrowser::isWritable(const char* path) {
  if (!path || !*path)
    return false;
  struct stat st;
  if (stat(path, &st) == 0)
    return access(path, W_OK) == 0;
  if (errno != ENOENT)
    return false;
  try {
    plat::ParentDirectory parent(path);
    return isWritable(parent.c_str());
  } catch (plat::Exception&) {
    return false;
  }
}

bool DirBrowser::canChoose(const std::vector<plat::String>& paths) {
  if (!(flags_ & ListFiles)) {
    for (const plat::String& p : paths) {
      struct stat st;
      if (stat(p.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        return false;
    }
  }
  if (!(flags_ & MustBeWritable))
    return true;
  for (const plat::String& p : paths)
    if (!isWritable(p.c_str()))
      return false;
  return true;
}

} // namespace ui
