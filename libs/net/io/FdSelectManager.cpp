#include "net/io/FdSelectManager.h"

#include "net/io/FdIo.h"
#include "net/io/FdListener.h"
#include "plat/LogWriter.h"
#include "plat/Time.h"
#include "plat/TimerManager.h"

#include <algorithm>
#include <cerrno>

static plat::LogWriter vlog("FdSelectMgr");

namespace io {

int FdSelectManager::doSelect(int nfds, fd_set* readFds, fd_set* writeFds, fd_set* exceptFds,
                              int timeoutMs) {
  assertCurrent();
  fd_set localRead, localWrite;
  if (!readFds) {
    FD_ZERO(&localRead);
    readFds = &localRead;
  }
  if (!writeFds) {
    FD_ZERO(&localWrite);
    writeFds = &localWrite;
  }

  for (auto& i : ios) {
    rdr::FdOutStream* out = i.first->getOutStream();
    if (out->wroteSomething) {
      out->wroteSomething = false;
      queue(flushIos, i.first);
    }
  }
  if (!readableIos.empty() || !flushIos.empty() || !cleanupIos.empty())
    workTimer.start(0);
  int untilTimer = plat::TimerManager::current()->msUntilNext();
  if (untilTimer >= 0 && (timeoutMs < 0 || timeoutMs > untilTimer))
    timeoutMs = untilTimer;

  // Every descriptor here was checked against FD_SETSIZE when it was added.
  for (auto& l : listeners) {
    if (l.second.resting)
      continue;
    FD_SET(l.first->getFd(), readFds);
    nfds = std::max(nfds, l.first->getFd() + 1);
  }
  for (auto& i : ios) {
    int fd = i.first->getFd();
    if (i.second.wantRead)
      FD_SET(fd, readFds);
    if (i.second.wantWrite)
      FD_SET(fd, writeFds);
    nfds = std::max(nfds, fd + 1);
  }

  struct timeval tv;
  int n = select(nfds, readFds, writeFds, exceptFds, plat::timerSelectTimeout(timeoutMs, &tv));
  if (n >= 0) {
    if (n > 0) {
      for (auto& l : listeners)
        if (!l.second.resting && FD_ISSET(l.first->getFd(), readFds))
          queueAccept(l.first);
      for (auto& i : ios) {
        int fd = i.first->getFd();
        if (i.second.wantRead && FD_ISSET(fd, readFds))
          queue(readableIos, i.first);
        if (i.second.wantWrite && FD_ISSET(fd, writeFds))
          queue(flushIos, i.first);
      }
    }
    processPending();
    finishWriteOuts();
    return n;
  }
  if (errno == EINTR) {
    FD_ZERO(readFds);
    FD_ZERO(writeFds);
    if (exceptFds)
      FD_ZERO(exceptFds);
    processPending();
    return 1;
  }
  return n;
}

void FdSelectManager::finishWriteOuts() {
  // Handlers wrote during this pass. Where everything went out, the flush
  // pass has nothing to write and only tells the handler writable(): that
  // is done now rather than after another select() that waits for nothing.
  // Channels with bytes left keep their mark for the next pass.
  for (auto& i : ios) {
    rdr::FdOutStream* out = i.first->getOutStream();
    if (out->wroteSomething && out->unsentBytes() == 0) {
      out->wroteSomething = false;
      queue(flushIos, i.first);
    }
  }
  if (!flushIos.empty())
    processPending();
}

} // namespace io
