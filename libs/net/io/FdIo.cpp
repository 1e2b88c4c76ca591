#include "net/io/FdIo.h"

#include "net/io/FdManager.h"
#include "plat/LogWriter.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

static plat::LogWriter vlog("FdIo");

namespace io {

void ignoreSigPipe() {
  static bool done = false;
  if (!done) {
    signal(SIGPIPE, SIG_IGN);
    done = true;
  }
}

void FdIo::setBlocking(int fd, bool blocking) {
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0)
    throw plat::SystemException("setBlocking", errno);
  flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  if (fcntl(fd, F_SETFL, flags) < 0)
    throw plat::SystemException("setBlocking", errno);
}

void FdIo::setInheritable(int fd, bool inheritable) {
  int flags = fcntl(fd, F_GETFD);
  if (flags < 0)
    throw plat::SystemException("setInheritable", errno);
  flags = inheritable ? (flags & ~FD_CLOEXEC) : (flags | FD_CLOEXEC);
  if (fcntl(fd, F_SETFD, flags) < 0)
    throw plat::SystemException("setInheritable", errno);
}

FdIo::FdIo(int fd_, bool closeFd_, bool flag_, int inBufSize, int outBufSize)
    : closeFd(closeFd_), flag(flag_), fd(fd_) {
  ignoreSigPipe();
  in.reset(new rdr::FdInStream(fd, -1, inBufSize, false, false));
  out.reset(new rdr::FdOutStream(fd, -1, outBufSize, false));
  setInheritable(fd, false);
  setBlocking(fd, false);
  vlog.debug("FdIo ctor %p", static_cast<void*>(this));
}

FdIo::~FdIo() {
  vlog.debug("FdIo dtor %p", static_cast<void*>(this));
  in.reset();
  out.reset(); // writes out what is left, errors ignored
  if (closeFd)
    close(fd);
  owned.reset();
}

void FdIo::setHandler(IoHandler* handler, bool wantRead) {
  if (handler) {
    if (!fdMgr)
      fdMgr = FdManager::threadInstance();
    PLAT_ASSERT(fdMgr);
    fdMgr->add(this, handler, wantRead);
  } else if (fdMgr) {
    fdMgr->remove(this);
    fdMgr = nullptr;
  }
}

void FdIo::shutdown(bool flush, bool tellHandler) {
  if (fdMgr) {
    fdMgr->shutdown(this, flush, tellHandler);
    return;
  }
  std::unique_ptr<FdIo> self(this);
  if (!flush) {
    // Closing at once: the destructor's write-out takes only what goes
    // without waiting for the peer.
    out->setNonWaiting(true);
    return;
  }
#ifdef ZAV_NET_LAUNCHER_BUILD
  out->flush();
#else
  try {
    out->flush();
  } catch (plat::Exception&) {
  }
#endif
}

const char* FdIo::getName() {
  if (name.isNull()) {
    char text[16];
    snprintf(text, sizeof text, "%d", fd);
    name = text;
  }
  return name.c_str();
}

void FdIo::setTimeout(int ms) {
  in->setTimeout(ms);
  out->setTimeout(ms);
}

int FdIo::connectError() {
  if (soError == 0) {
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0)
      throw plat::SystemException("getsockopt", errno);
    soError = err;
  }
  return soError;
}

} // namespace io
