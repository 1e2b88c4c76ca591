#include "rdr/FdInStream.h"

#include "plat/LogWriter.h"
#include "rdr/Exception.h"
#include "rdr/FdWait.h"

#include <cerrno>
#include <unistd.h>

static plat::LogWriter vlog("FdInStream");

namespace rdr {

FdInStream::FdInStream(int fd_, int timeoutMs_, int bufSize, bool closeWhenDone_, bool nonWaiting_)
    : BufferedInStream(bufSize), fd(fd_), closeWhenDone(closeWhenDone_), nonWaiting(nonWaiting_),
      timeoutMs(timeoutMs_) {
}

FdInStream::~FdInStream() {
  if (closeWhenDone)
    close(fd);
}

int FdInStream::readFd(std::uint8_t* buffer, int length) {
  return static_cast<int>(read(fd, buffer, length));
}

int FdInStream::readData(std::uint8_t* buffer, int length) {
  if (nonWaiting && drained)
    return 0;
  for (;;) {
    int n = readFd(buffer, length);
    if (n > 0) {
      drained = selectDriven && nonWaiting && n < length;
      return n;
    }
    if (n == 0)
      throw EndOfStream();
    if (errno == EINTR)
      continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK)
      throw plat::SystemException("read/select", errno);
    if (nonWaiting) {
      drained = selectDriven;
      return 0;
    }
    int ready = waitForFd(fd, false, timeoutMs);
    if (ready == 0)
      throw plat::TimedOut();
    if (ready < 0 && errno != EINTR)
      throw plat::SystemException("read/select", errno);
  }
}

} // namespace rdr
