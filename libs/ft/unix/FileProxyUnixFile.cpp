#include "ft/unix/FileProxyUnixFile.h"

#include "ft/UnixAttribute.h"
#include "ft/unix/FdInStream.h"
#include "plat/LogWriter.h"
#include "plat/Time.h"

#include <cerrno>
#include <cstdint>
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
}

rdr::InStream* FileProxyUnixFile::open(std::uint64_t offset, ConnectionId, UploadManager*) {
  // An offset the file system cannot represent is refused rather than
  // leaving the stream wherever a failed seek puts it.
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) {
    vlog.error("Attempt to seek beyond %ld", static_cast<long>(INT64_MAX));
    throw plat::ExceptionFmt("Attempt to seek beyond %ld", static_cast<long>(INT64_MAX));
  }
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    throw plat::SystemException("open", errno);
  if (lseek64(fd, static_cast<off64_t>(offset), SEEK_SET) < 0) {
    int err = errno;
    close(fd);
    throw plat::SystemException("lseek", err);
  }
  return new FdInStream(fd);
}

} // namespace ft
