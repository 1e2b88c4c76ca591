#include "net/FdSocket.h"

#include "net/io/FdIo.h"
#include "net/io/IoConnector.h"
#include "net/io/IoTarget.h"
#include "plat/Assert.h"
#include "plat/LogWriter.h"

static plat::LogWriter vlog("FdSocket");

namespace net {

FdSocket::FdSocket(io::Io* io_) : Socket(io_) {
}

FdSocket::FdSocket(io::IoTarget* target_) : Socket(nullptr), target(target_) {
}

FdSocket::~FdSocket() {
  cancelConnect(false);
  target.reset();
  closeIo(false, false);
}

void FdSocket::cancelConnect(bool keepCallback) {
  io::IoConnector* c = connector;
  connector = nullptr;
  if (c)
    c->cancel(keepCallback);
}

io::Io* FdSocket::releaseIo() {
  io::Io* channel = io;
  io = nullptr;
  return channel;
}

void FdSocket::flush() {
  PLAT_ASSERT(io);
  io::FdIo* fdIo = io->asFdIo();
  if (!fdIo)
    return;
  rdr::FdOutStream* out = fdIo->getOutStream();
  out->setNonWaiting(false);
  out->flush();
}

} // namespace net
