#include "ft/unix/FileProxyUnixFile.h"

#include "ft/UnixAttribute.h"
#include "ft/unix/FdInStream.h"
#include "plat/LogWriter.h"
#include "plat/Time.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static plat::LogWriter vlog("FileProxyUnixFile");

namespace ft {

FileProxyUnixFile::FileProxyUnixFile(const char* path_, const char* name)
    : FileProxy(name, 0, 0, 0, 0, 0), path(path_) {
  struct stat st;
  if (stat(path_, &st) != 0)
    throw plat::SystemExceptionFmt("stat(%s)", errno, path_);
  flags = entryFlags(name, st.st_mode);
  size = static_cast<std::uint64_t>(st.st_size);
  created = plat::unixTimeToTicks(st.st_ctime);
  accessed = plat::unixTimeToTicks(st.st_atime);
  modified = plat::unixTimeToTicks(st.st_mtime);
  device = st.st_dev;
  inode = st.st_ino;
  addAttribute(makeUnixAttribute(st.st_mode));
  // A shared link is served as the file it named when it was shared: its
  // target's path is opened later, without following links.
  struct stat lst;
  if (lstat(path_, &lst) == 0 && S_ISLNK(lst.st_mode)) {
    std::unique_ptr<char, void (*)(void*)> resolved(realpath(path_, nullptr), free);
    if (!resolved)
      throw plat::SystemExceptionFmt("realpath(%s)", errno, path_);
    path = resolved.get();
  }
}

rdr::InStream* FileProxyUnixFile::open(std::uint64_t offset, ConnectionId, UploadManager*) {
  // An offset the file system cannot represent is refused rather than
  // leaving the stream wherever a failed seek puts it.
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) {
    vlog.error("Attempt to seek beyond %ld", static_cast<long>(INT64_MAX));
    throw plat::ExceptionFmt("Attempt to seek beyond %ld", static_cast<long>(INT64_MAX));
  }
  // The path may have been replaced since it was shared: a link is not
  // followed, a FIFO or device does not block the main loop, and anything
  // but the regular file that was listed is refused.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0)
    throw plat::SystemException("open", errno);
  struct stat st;
  if (fstat(fd, &st) != 0) {
    int err = errno;
    close(fd);
    throw plat::SystemException("fstat", err);
  }
  if (!S_ISREG(st.st_mode) || st.st_dev != device || st.st_ino != inode) {
    close(fd);
    throw plat::ExceptionFmt("%s is no longer the file that was shared", getName());
  }
  if (lseek64(fd, static_cast<off64_t>(offset), SEEK_SET) < 0) {
    int err = errno;
    close(fd);
    throw plat::SystemException("lseek", err);
  }
  return new FdInStream(fd);
}

} // namespace ft
