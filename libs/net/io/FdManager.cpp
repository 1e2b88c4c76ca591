#include "net/io/FdManager.h"

#include "net/io/FdAddressChanged.h"
#include "net/io/FdIo.h"
#include "net/io/FdListener.h"
#include "net/io/IoAcceptor.h"
#include "net/io/IoHandler.h"
#include "plat/Assert.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"
#include "plat/Time.h"

#include <algorithm>
#include <climits>
#include <sys/select.h>

static plat::LogWriter vlog("FdManager");

// Bounded to the 49 days the description promises; the milliseconds are
// computed in 64 bits and longer waits are served by re-arming the timer.
static plat::IntParameter lazyFlushTimeout(
    "LazyFlushTimeout",
    "Maximum number of seconds for which attempts should be made to flush data to an "
    "unresponsive client (maximum 49 days)",
    300, 1, 49 * 24 * 3600);

namespace io {

namespace {
FdManager* current = nullptr;
constexpr int acceptRetryMs = 1000;

void refuseUnselectable(int fd) {
  if (fd < 0 || fd >= FD_SETSIZE)
    throw plat::ExceptionFmt("descriptor %d cannot be served: select() takes descriptors below %d",
                             fd, FD_SETSIZE);
}

template <typename T> void drop(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}
} // namespace

FdManager::Observer::~Observer() = default;

FdManager::FdManager(Observer* observer_)
    : observer(observer_), workTimer(this), acceptRetryTimer(this), previous(current) {
  current = this;
}

FdManager::~FdManager() {
  closingDown = true;
  while (!ios.empty()) {
    try {
      cleanup(ios.begin()->first);
    } catch (plat::Exception& e) {
      vlog.error("%s", e.str());
    }
  }
  while (!listeners.empty()) {
    FdListener* listener = listeners.begin()->first;
    listener->setAcceptor(nullptr);
    listeners.erase(listener);
  }
  if (current == this)
    current = previous;
  workTimer.stop();
  acceptRetryTimer.stop();
}

FdManager* FdManager::threadInstance() {
  return current;
}

void FdManager::assertCurrent() const {
  PLAT_ASSERT(threadInstance() == this);
}

bool FdManager::wantsWrite(FdIo* io) const {
  auto i = ios.find(io);
  return i != ios.end() && i->second.wantWrite;
}

void FdManager::setInterest(FdIo* io, IoEntry& entry, bool wantRead, bool wantWrite) {
  bool changed = entry.wantRead != wantRead || entry.wantWrite != wantWrite;
  entry.wantRead = wantRead;
  entry.wantWrite = wantWrite;
  if (changed && observer)
    observer->ioInterest(io, wantRead, wantWrite);
}

void FdManager::queue(std::vector<FdIo*>& list, FdIo* io) {
  if (std::find(list.begin(), list.end(), io) == list.end())
    list.push_back(io);
}

void FdManager::queueAccept(FdListener* listener) {
  if (std::find(acceptListeners.begin(), acceptListeners.end(), listener) == acceptListeners.end())
    acceptListeners.push_back(listener);
}

void FdManager::add(FdIo* io, IoHandler* handler, bool wantRead) {
  assertCurrent();
  refuseUnselectable(io->getFd());
  io->in->setNonWaiting(true);
  io->out->setNonWaiting(true);
  // Reads wait for select() after a short read. Not on a Unix channel: its
  // reads stop at every message that carries descriptors, so a short read
  // does not show it drained.
  io->in->setSelectDriven(io->asUnixIo() == nullptr);
  auto i = ios.find(io);
  if (i != ios.end()) {
    vlog.debug("set %p (fd=%d) handler %p", static_cast<void*>(io), io->getFd(),
               static_cast<void*>(handler));
  } else {
    vlog.debug("add %p (fd=%d) handler %p", static_cast<void*>(io), io->getFd(),
               static_cast<void*>(handler));
    i = ios.emplace(io, IoEntry()).first;
    i->second.lazyFlushTimer.reset(new plat::Timer(this));
  }
  i->second.handler = handler;
  io->fdMgr = this;
  FdIo::setBlocking(io->getFd(), false);
  setInterest(io, i->second, wantRead, true);
}

void FdManager::shutdown(FdIo* io, bool flush, bool tellHandler) {
  assertCurrent();
  auto i = ios.find(io);
  PLAT_ASSERT(i != ios.end());
  vlog.debug("shutdown %p (fd=%d), flush %d (tellHandler %d)", static_cast<void*>(io), io->getFd(),
             flush, tellHandler);
  IoEntry& entry = i->second;
  entry.shuttingDown = true;
  if (!tellHandler)
    entry.handler = nullptr;
  setInterest(io, entry, false, entry.wantWrite);
  queue(flush ? flushIos : cleanupIos, io);
}

void FdManager::remove(FdIo* io) {
  assertCurrent();
  auto i = ios.find(io);
  if (i == ios.end())
    return;
  vlog.debug("remove %p (fd=%d)", static_cast<void*>(io), io->getFd());
  io->in->setNonWaiting(false);
  io->in->setSelectDriven(false);
  io->out->setNonWaiting(false);
  drop(readableIos, io);
  drop(flushIos, io);
  drop(cleanupIos, io);
  setInterest(io, i->second, false, false);
  ios.erase(i);
  if (io->fdMgr == this)
    io->fdMgr = nullptr;
}

void FdManager::cleanup(FdIo* io) {
  assertCurrent();
  auto i = ios.find(io);
  PLAT_ASSERT(i != ios.end());
  vlog.debug("cleanup %p (fd=%d)", static_cast<void*>(io), io->getFd());
  IoHandler* handler = i->second.handler;
  // The final write-out in the channel's destructor must not wait for a
  // peer that may have stopped reading.
  io->out->setTimeout(0);
  std::unique_ptr<FdIo> doomed;
  if (handler) {
    try {
      handler->closed(io);
    } catch (plat::Exception& e) {
#ifdef ZAV_NET_LAUNCHER_BUILD
      remove(io);
      doomed.reset(io);
      wakeListeners();
      throw;
#else
      vlog.error("%s", e.str());
#endif
    }
  }
  remove(io);
  doomed.reset(io);
  doomed.reset();
  wakeListeners();
}

void FdManager::addListener(FdListener* listener, IoAcceptor* acceptor) {
  assertCurrent();
  refuseUnselectable(listener->getFd());
  ListenerEntry& entry = listeners[listener];
  entry.acceptor = acceptor;
  listener->fdMgr = this;
  FdIo::setBlocking(listener->getFd(), false);
  if (observer)
    observer->listenerInterest(listener, true, entry.addressChanged != nullptr);
  queueAccept(listener);
}

void FdManager::removeListener(FdListener* listener) {
  assertCurrent();
  drop(acceptListeners, listener);
  if (listeners.erase(listener) && observer)
    observer->listenerInterest(listener, false, false);
  if (listener->fdMgr == this)
    listener->fdMgr = nullptr;
}

bool FdManager::setAddressChanged(FdListener* listener, FdAddressChanged* cb) {
  assertCurrent();
  auto i = listeners.find(listener);
  PLAT_ASSERT(i != listeners.end());
  if (!observer)
    return false;
  i->second.addressChanged = cb;
  try {
    observer->listenerInterest(listener, true, cb != nullptr);
  } catch (plat::Exception&) {
    i->second.addressChanged = nullptr;
    observer->listenerInterest(listener, true, false);
    return false;
  }
  return true;
}

void FdManager::wakeListeners() {
  for (auto& l : listeners)
    l.second.resting = false;
}

void FdManager::acceptOne(FdListener* listener) {
  auto i = listeners.find(listener);
  PLAT_ASSERT(i != listeners.end());
  FdIo* io;
  try {
    io = listener->accept();
  } catch (plat::Exception& e) {
    // Out of descriptors and the like: the pending connection stays pending
    // and the listener stays readable, so rest it instead of failing on every
    // pass. Other channels go on being served.
    if (!acceptErrorLogged)
      vlog.error("%s", e.str());
    acceptErrorLogged = true;
    i->second.resting = true;
    if (!acceptRetryTimer.isStarted())
      acceptRetryTimer.start(acceptRetryMs);
    return;
  }
  if (!io)
    return;
  acceptErrorLogged = false;
  if (io->getFd() >= FD_SETSIZE) {
    vlog.error("refusing connection: descriptor %d cannot be served by select() (limit %d)",
               io->getFd(), FD_SETSIZE);
    delete io;
    return;
  }
  try {
    i->second.acceptor->accepted(io, true);
  } catch (plat::Exception& e) {
    vlog.error("%s", e.str());
  }
}

void FdManager::startLazyFlushTimer(IoEntry& entry) {
  std::int64_t ms = static_cast<std::int64_t>(lazyFlushTimeout.getValue()) * 1000;
  entry.lazyFlushDeadline = plat::currentTime() + static_cast<std::uint64_t>(ms) * 10000;
  entry.lazyFlushTimer->start(static_cast<int>(std::min<std::int64_t>(ms, INT_MAX)));
}

void FdManager::lazyFlushExpired(plat::Timer* timer) {
  for (auto& i : ios) {
    if (i.second.lazyFlushTimer.get() != timer)
      continue;
    std::uint64_t now = plat::currentTime();
    if (now < i.second.lazyFlushDeadline) {
      std::uint64_t left = (i.second.lazyFlushDeadline - now + 9999) / 10000;
      timer->start(static_cast<int>(std::min<std::uint64_t>(left, INT_MAX)));
      return;
    }
    vlog.debug("giving up writing out to %p (fd=%d)", static_cast<void*>(i.first),
               i.first->getFd());
    shutdown(i.first, false, true);
    return;
  }
}

bool FdManager::timerCallback(plat::Timer* timer) {
  if (timer == &workTimer)
    processPending();
  else if (timer == &acceptRetryTimer)
    wakeListeners();
  else
    lazyFlushExpired(timer);
  return false;
}

void FdManager::processPending() {
  assertCurrent();
  while (!acceptListeners.empty()) {
    FdListener* listener = acceptListeners.back();
    acceptListeners.pop_back();
    acceptOne(listener);
  }
  while (!readableIos.empty()) {
    FdIo* io = readableIos.back();
    readableIos.pop_back();
    auto i = ios.find(io);
    PLAT_ASSERT(i != ios.end());
    if (!i->second.handler || !i->second.wantRead)
      continue;
    io->getInStream()->markReadable();
    try {
      i->second.handler->readable(io);
    } catch (plat::Exception& e) {
      vlog.error("%s", e.str());
      if (ios.count(io))
        queue(cleanupIos, io);
    }
  }
  while (!flushIos.empty()) {
    FdIo* io = flushIos.back();
    flushIos.pop_back();
    auto i = ios.find(io);
    PLAT_ASSERT(i != ios.end());
    try {
      IoEntry& entry = i->second;
      rdr::FdOutStream* out = io->getOutStream();
      if (out->unsentBytes() > 0) {
        int before = out->spaceAvailable();
        out->flushBuffer(false);
        out->wroteSomething = false; // our own write-out needs no further pass
        if (out->spaceAvailable() > before)
          entry.lazyFlushTimer->stop();
      }
      if (out->unsentBytes() > 0) {
        setInterest(io, entry, entry.wantRead, true);
        if (!entry.lazyFlushTimer->isStarted())
          startLazyFlushTimer(entry);
      } else if (entry.shuttingDown) {
        queue(cleanupIos, io);
      } else {
        entry.lazyFlushTimer->stop();
        setInterest(io, entry, entry.wantRead, false);
        if (entry.handler)
          entry.handler->writable(io);
      }
    } catch (plat::Exception& e) {
      vlog.error("%s", e.str());
      if (ios.count(io))
        queue(cleanupIos, io);
    }
  }
  while (!cleanupIos.empty()) {
    FdIo* io = cleanupIos.back();
    cleanupIos.pop_back();
    cleanup(io);
  }
}

} // namespace io
