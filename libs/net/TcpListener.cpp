#include "net/TcpListener.h"

#include "net/TcpSocket.h"
#include "net/io/TcpIo.h"
#include "net/io/TcpListener.h"
#include "plat/LogWriter.h"

#include <cstring>
#include <strings.h>
#include <sys/socket.h>

static plat::LogWriter vlog("TcpSocketListener");

namespace net {

namespace {
bool isV4Mapped(io::Io* io) {
  io::TcpIo* tcp = io->asTcpIo();
  if (!tcp)
    return false;
  try {
    return tcp->peerAddress().address.length() > 8 &&
           strncasecmp(tcp->peerAddress().address.c_str(), "[::ffff:", 8) == 0 &&
           strchr(tcp->peerAddress().address.c_str(), '.') != nullptr;
  } catch (plat::Exception&) {
    return false;
  }
}
} // namespace

TcpListener::TcpListener(io::TcpListener* listener_, ConnectionFilter* filter_)
    : SocketListener(listener_, filter_) {
}

Socket* TcpListener::accept(io::Io* io) {
  if (!io)
    io = listener->accept();
  if (!io)
    return nullptr;
  bool ask;
  try {
    int family = static_cast<io::TcpListener*>(listener.get())->getLocalAddress().family;
    ask = family == AF_INET || isV4Mapped(io);
  } catch (plat::Exception& e) {
    // Without the listener's address the filter is asked: refusing wrongly
    // is better than accepting wrongly.
    vlog.error("%s", e.str());
    ask = true;
  }
  return wrapAndFilter(io, ask);
}

} // namespace net
