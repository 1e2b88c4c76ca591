#include "net/io/TcpConnector.h"

#include "net/io/FdIo.h"
#include "net/io/FdManager.h"
#include "net/io/IoConnected.h"
#include "net/io/TcpIo.h"
#include "net/io/TcpTarget.h"
#include "plat/Assert.h"
#include "plat/LogWriter.h"

#include <cerrno>
#include <cstdio>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

static plat::LogWriter vlog("TcpConnect");

namespace io {

TcpConnector::TcpConnector(IoConnected* cb_, int flag_, const char* host_, int port_, int option_)
    : cb(cb_), flag(flag_), attemptTimer(this), doneTimer(this), host(host_), port(port_),
      option(option_) {
  if (cb)
    attemptTimer.start(0);
}

TcpConnector::~TcpConnector() {
  PLAT_ASSERT(pending.empty());
}

void TcpConnector::throwError() {
  if (lastResolveError)
    throw *lastResolveError;
  if (lastSystemError)
    throw *lastSystemError;
  if (lastOtherError)
    throw *lastOtherError;
}

void TcpConnector::resolve() {
  struct addrinfo hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  char service[16];
  snprintf(service, sizeof service, "%d", port);
  struct addrinfo* list = nullptr;
  int err = getaddrinfo(host.c_str(), service, &hints, &list);
  if (err != 0)
    throw GetAddrInfoException(err);
  for (struct addrinfo* a = list; a; a = a->ai_next)
    addresses.insert(std::string(reinterpret_cast<const char*>(a->ai_addr), a->ai_addrlen));
  freeaddrinfo(list);
  resolved = true;
}

FdIo* TcpConnector::tryNext(bool nonBlocking) {
  ignoreSigPipe();
  if (!resolved)
    resolve();
  PLAT_ASSERT(!addresses.empty());
  for (;;) {
    std::string addr = *addresses.begin();
    addresses.erase(addresses.begin());
    const struct sockaddr* sa = reinterpret_cast<const struct sockaddr*>(addr.data());
    try {
      if (sa->sa_family == AF_INET)
        vlog.debug("  trying IPv4");
      else if (sa->sa_family == AF_INET6)
        vlog.debug("  trying IPv6");
      else
        vlog.debug("  trying family %d", sa->sa_family);
      int fd = socket(sa->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (fd < 0)
        throw plat::SystemException("socket", errno);
      if (nonBlocking) {
        try {
          FdIo::setBlocking(fd, false);
        } catch (plat::Exception&) {
          close(fd);
          throw;
        }
      }
      int r;
      do {
        r = ::connect(fd, sa, static_cast<socklen_t>(addr.size()));
      } while (r < 0 && errno == EINTR);
      if (r < 0 && errno != EINPROGRESS) {
        int err = errno;
        close(fd);
        throw plat::SystemException("connect", err);
      }
      TcpIo* io = new TcpIo(fd, true);
      io->setOwned(std::unique_ptr<IoTarget>(new TcpTarget(host.c_str(), port, option)));
      io->setHostName(host.c_str());
      return io;
    } catch (plat::Exception&) {
      if (addresses.empty())
        throw;
    }
  }
}

void TcpConnector::fail() {
  std::unique_ptr<TcpConnector> self(this); // done, whatever the callback does
  if (cb)
    cb->connectFailed(this);
}

void TcpConnector::attempt() {
  FdIo* io = nullptr;
  try {
    io = tryNext(true);
    io->setHandler(this, false);
    pending.insert(io);
    return;
  } catch (GetAddrInfoException& e) {
    lastResolveError = e;
  } catch (plat::SystemException& e) {
    lastSystemError = e;
  } catch (plat::Exception& e) {
    lastOtherError = e;
  }
  if (io)
    io->shutdown(false, false);
  fail();
}

void TcpConnector::writable(Io* io_) {
  FdIo* io = io_->asFdIo();
  if (io->connectError() != 0) {
    io->shutdown(false, true);
    return;
  }
  std::unique_ptr<TcpConnector> self(this); // done, whatever the callback does
  pending.erase(io);
  io->setHandler(nullptr, false);
  if (cb)
    cb->connected(this, io);
  else
    io->shutdown(false, false);
}

void TcpConnector::closed(Io* io_) {
  FdIo* io = io_->asFdIo();
  if (!pending.erase(io))
    return;
  // A manager that is going closes every channel: the attempt ends there,
  // without trying the remaining addresses on it.
  bool managerGoing = io->getFdMgr() && io->getFdMgr()->isClosingDown();
  if (!addresses.empty() && !managerGoing) {
    attempt();
    return;
  }
  int err = 0;
  try {
    err = io->connectError();
  } catch (plat::SystemException& e) {
    err = e.getErrno();
  }
  if (!err)
    err = managerGoing ? ECONNABORTED : ECONNREFUSED;
  lastSystemError = plat::SystemException("connect", err);
  fail();
}

void TcpConnector::cancel(bool keepCallback) {
  if (!keepCallback)
    cb = nullptr;
  attemptTimer.stop();
  std::set<FdIo*> doomed;
  doomed.swap(pending);
  for (FdIo* io : doomed)
    io->shutdown(false, false);
  if (!cb) {
    // Nobody is left to tell: go now rather than on a timer that may never
    // run again.
    delete this;
    return;
  }
  doneTimer.start(0);
}

bool TcpConnector::timerCallback(plat::Timer* timer) {
  // A callback that throws must not break the timer run of the whole loop:
  // its error is logged, as the descriptor manager does for handlers.
  try {
    if (timer == &attemptTimer) {
      attempt();
    } else if (timer == &doneTimer) {
      std::unique_ptr<TcpConnector> self(this);
      if (cb)
        cb->connectCancelled();
    } else {
      PLAT_ASSERT(false);
    }
  } catch (plat::Exception& e) {
    vlog.error("%s", e.str());
  }
  return false;
}

} // namespace io
