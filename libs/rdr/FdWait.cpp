#include "rdr/FdWait.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/Time.h"

#include <sys/select.h>

static plat::LogWriter vlog("FdWait");

namespace rdr {

int waitForFd(int fd, bool forWrite, int timeoutMs) {
  if (fd < 0 || fd >= FD_SETSIZE)
    throw plat::ExceptionFmt("descriptor %d cannot be waited for with select() (limit %d)", fd,
                             FD_SETSIZE);
  fd_set fds;
  FD_ZERO(&fds);
  FD_SET(fd, &fds);
  struct timeval tv;
  return select(fd + 1, forWrite ? nullptr : &fds, forWrite ? &fds : nullptr, nullptr,
                plat::selectTimeout(timeoutMs, &tv));
}

} // namespace rdr
