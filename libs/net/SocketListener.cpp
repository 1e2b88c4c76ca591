#include "net/SocketListener.h"

#include "net/ConnectionFilter.h"
#include "net/SocketManager.h"
#include "net/TcpSocket.h"
#include "net/UnixSocket.h"
#include "net/io/FdIo.h"
#include "net/io/FdListener.h"
#include "plat/Assert.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"

static plat::LogWriter vlog("SocketListener");

namespace net {

Socket* wrapIo(io::Io* io) {
  if (io->asTcpIo())
    return new TcpSocket(io);
  if (io->asUnixIo())
    return new UnixSocket(io);
  io::FdIo* fdIo = io->asFdIo();
  PLAT_ASSERT(fdIo != 0);
  return new FdSocket(io);
}

SocketListener::SocketListener(io::FdListener* listener_, ConnectionFilter* filter_)
    : listener(listener_), filter(filter_) {
}

SocketListener::~SocketListener() {
  if (!manager)
    return;
  try {
    manager->removeListener(this);
  } catch (plat::Exception& e) {
    vlog.error("%s", e.str());
  }
}

Socket* SocketListener::wrapAndFilter(io::Io* io, bool ask) {
  std::unique_ptr<Socket> sock(wrapIo(io));
  if (ask && filter && !filter->verifyConnection(sock.get()))
    return nullptr;
  return sock.release();
}

Socket* SocketListener::accept(io::Io* io) {
  if (!io)
    io = listener->accept();
  if (!io)
    return nullptr;
  return wrapAndFilter(io, true);
}

} // namespace net
