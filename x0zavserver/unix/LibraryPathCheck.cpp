#include "x0zavserver/unix/LibraryPathCheck.h"

#include "plat/unix/OwnedFd.h"
#include "x0zavserver/unix/SecurityExceptionFmt.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace gssapi {

namespace {

using Fd = os::OwnedFd;

struct stat statOf(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0)
    throw plat::SystemException("stat", errno);
  return st;
}

// Only root may change what the entry is: its owner is root and neither its
// group nor others may write to it, except a directory with the sticky bit,
// in which others can add entries but not replace root's.
void checkOwnerAndMode(const struct stat& st, const std::string& path) {
  bool othersWrite = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  bool sticky = S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX);
  if (st.st_uid != 0 || (othersWrite && !sticky))
    throw SecurityExceptionFmt("%s: permissions are not restrictive enough", path.c_str());
}

} // namespace

plat::String checkLibraryPath(const char* path) {
  if (getuid() != 0)
    return plat::String(path);
  if (path[0] != '/')
    throw SecurityExceptionFmt("%s: not an absolute path", path);
  char resolved[PATH_MAX];
  if (!realpath(path, resolved))
    throw plat::SystemException("realpath", errno);

  // Walk the resolved path from "/" through descriptors, so that every
  // directory checked is the one the next name is looked up in, and a
  // component that became a link since realpath is refused.
  std::string done = "/";
  Fd dir(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0)
    throw plat::SystemExceptionFmt("open(%s)", errno, "/");
  checkOwnerAndMode(statOf(dir.get()), done);
  std::string rest = resolved + 1;
  for (;;) {
    size_t slash = rest.find('/');
    std::string name = rest.substr(0, slash);
    std::string here = done + (done.size() > 1 ? "/" : "") + name;
    if (slash == std::string::npos) {
      // O_NONBLOCK: a FIFO put in the library's place must not hang root.
      Fd file(openat(dir.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
      if (file.get() < 0)
        throw plat::SystemExceptionFmt("open(%s)", errno, here.c_str());
      struct stat st = statOf(file.get());
      if (!S_ISREG(st.st_mode))
        throw SecurityExceptionFmt("%s: not a regular file", here.c_str());
      checkOwnerAndMode(st, here);
      return plat::String(resolved);
    }
    int next = openat(dir.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0)
      throw plat::SystemExceptionFmt("open(%s)", errno, here.c_str());
    dir.reset(next);
    checkOwnerAndMode(statOf(dir.get()), here);
    done = here;
    rest = rest.substr(slash + 1);
  }
}

} // namespace gssapi
