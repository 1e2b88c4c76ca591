#include "x0zavserver/unix/RootOnlyFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

namespace {

struct stat statOf(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0)
    throw plat::SystemException("stat", errno);
  return st;
}

// Only root may change what the entry is: its owner is root and neither its
// group nor others may write to it, except a folder with the sticky bit, in
// which others can add entries but not replace root's.
void checkOwnerAndMode(const struct stat& st, const std::string& path, bool isFile) {
  bool othersWrite = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  bool sticky = S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX);
  if (st.st_uid != 0)
    throw RootOnlyFile::Refused(RootOnlyFile::Fault::NotRoot, path, isFile, st.st_uid, st.st_mode);
  if (othersWrite && !sticky)
    throw RootOnlyFile::Refused(RootOnlyFile::Fault::Writable, path, isFile, st.st_uid, st.st_mode);
}

// Opens name in dir without following a link; a link there is refused.
int openEntry(int dir, const std::string& name, const std::string& path, bool isFile) {
  int flags = O_PATH | O_NOFOLLOW | O_CLOEXEC | (isFile ? 0 : O_DIRECTORY);
  int fd = openat(dir, name.c_str(), flags);
  if (fd >= 0) {
    // O_PATH with O_NOFOLLOW opens a link itself.
    os::OwnedFd opened(fd);
    struct stat st = statOf(fd);
    if (S_ISLNK(st.st_mode))
      throw RootOnlyFile::Refused(RootOnlyFile::Fault::Link, path, isFile, st.st_uid, st.st_mode);
    return opened.release();
  }
  int err = errno;
  struct stat st;
  if ((err == ENOTDIR || err == ELOOP) &&
      fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
    throw RootOnlyFile::Refused(RootOnlyFile::Fault::Link, path, isFile, st.st_uid, st.st_mode);
  throw plat::SystemExceptionFmt("open(%s)", err, path.c_str());
}

} // namespace

RootOnlyFile::Refused::Refused(Fault fault_, const std::string& entry_, bool isFile_, uid_t owner_,
                               mode_t mode_)
    : plat::Exception(entry_.c_str()), fault(fault_), entry(entry_), isFile(isFile_), owner(owner_),
      mode(mode_) {
}

RootOnlyFile::RootOnlyFile(const char* path) {
  if (path[0] != '/')
    throw plat::ExceptionFmt("%s: not an absolute path", path);
  std::string done = "/";
  fd_.reset(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (fd_.get() < 0)
    throw plat::SystemExceptionFmt("open(%s)", errno, "/");
  checkOwnerAndMode(statOf(fd_.get()), done, false);
  // Walk from "/" through descriptors, so that every folder checked is the
  // one the next name is looked up in.
  std::string rest = path + 1;
  for (;;) {
    size_t slash = rest.find('/');
    std::string name = rest.substr(0, slash);
    std::string here = done + (done.size() > 1 ? "/" : "") + name;
    bool isFile = slash == std::string::npos;
    os::OwnedFd entry(openEntry(fd_.get(), name, here, isFile));
    struct stat st = statOf(entry.get());
    if (isFile && !S_ISREG(st.st_mode))
      throw Refused(Fault::NotRegular, here, true, st.st_uid, st.st_mode);
    checkOwnerAndMode(st, here, isFile);
    fd_.reset(entry.release());
    if (isFile)
      return;
    done = here;
    rest = rest.substr(slash + 1);
  }
}

} // namespace os
