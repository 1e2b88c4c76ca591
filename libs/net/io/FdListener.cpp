#include "net/io/FdListener.h"

#include "net/io/FdIo.h"
#include "net/io/FdManager.h"
#include "plat/Assert.h"
#include "plat/LogWriter.h"

static plat::LogWriter vlog("FdListener");

namespace io {

FdListener::FdListener(int fd_) : fd(fd_) {
  ignoreSigPipe();
}

FdListener::~FdListener() {
  setAcceptor(nullptr);
}

void FdListener::setAcceptor(IoAcceptor* acceptor) {
  if (acceptor) {
    if (!fdMgr)
      fdMgr = FdManager::threadInstance();
    PLAT_ASSERT(fdMgr);
    fdMgr->addListener(this, acceptor);
  } else if (fdMgr) {
    fdMgr->removeListener(this);
    fdMgr = nullptr;
  }
}

bool FdListener::setAddressChanged(FdAddressChanged* cb) {
  PLAT_ASSERT(fdMgr);
  return fdMgr->setAddressChanged(this, cb);
}

} // namespace io
