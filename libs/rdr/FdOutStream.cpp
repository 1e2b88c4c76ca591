#include "rdr/FdOutStream.h"

#include "plat/LogWriter.h"
#include "rdr/FdWait.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <sys/uio.h>
#include <unistd.h>

static plat::LogWriter vlog("FdOutStream");

namespace rdr {

FdOutStream::FdOutStream(int fd_, int timeoutMs_, int bufSize, bool closeWhenDone_)
    : BufferedOutStream(bufSize), fd(fd_), closeWhenDone(closeWhenDone_), timeoutMs(timeoutMs_) {
}

FdOutStream::~FdOutStream() {
  try {
    flush();
  } catch (plat::Exception&) {
  }
  if (closeWhenDone)
    close(fd);
}

int FdOutStream::writeFd(const std::uint8_t* data, int length) {
  return static_cast<int>(write(fd, data, length));
}

template <typename Attempt> int FdOutStream::writeWaiting(Attempt attempt, bool wait) {
  wroteSomething = true;
  for (;;) {
    int n = attempt();
    if (n >= 0)
      return n;
    if (errno == EINTR)
      continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK)
      throw plat::SystemException("write/select", errno);
    if (!wait)
      return 0;
    // Interrupted waits go on with what is left of the time-out, so signals
    // cannot stretch it.
    int left = timeoutMs;
    for (;;) {
      auto before = std::chrono::steady_clock::now();
      int ready = waitForFd(fd, true, left);
      if (ready > 0)
        break;
      if (ready == 0)
        throw plat::TimedOut();
      if (errno != EINTR)
        throw plat::SystemException("write/select", errno);
      if (left >= 0) {
        auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - before)
                         .count();
        left = static_cast<int>(std::max<long long>(0, left - spent));
      }
    }
  }
}

int FdOutStream::writeFdV(const struct iovec* iov, int n) {
  return static_cast<int>(writev(fd, iov, std::min(n, IOV_MAX)));
}

int FdOutStream::writeData(const std::uint8_t* data, int length, bool wait) {
  return writeWaiting([&] { return writeFd(data, length); }, wait);
}

int FdOutStream::writeDataV(const struct iovec* iov, int n, bool wait) {
  return writeWaiting([&] { return writeFdV(iov, n); }, wait);
}

} // namespace rdr
