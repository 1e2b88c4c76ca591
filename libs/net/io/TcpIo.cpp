#include "net/io/TcpIo.h"

#include "plat/LogWriter.h"

#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

static plat::LogWriter vlog("TcpIo");

namespace io {

TcpIo::TcpIo(int fd_, bool closeFd_, bool flag_, int inBufSize, int outBufSize)
    : FdIo(fd_, closeFd_, flag_, inBufSize, outBufSize) {
  int one = 1;
  if (setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) < 0)
    vlog.debug("unable to setsockopt TCP_NODELAY: %d", errno);
}

TcpIo::~TcpIo() = default;

const AddressRecord& TcpIo::localAddress() {
  if (!localAddr)
    localAddr.reset(new AddressRecord(AddressRecord::fromSocket(fd, false, nullptr)));
  return *localAddr;
}

const AddressRecord& TcpIo::peerAddress() {
  if (!peerAddr)
    peerAddr.reset(new AddressRecord(AddressRecord::fromSocket(fd, true, name_.get())));
  return *peerAddr;
}

const char* TcpIo::getName() {
  try {
    return peerAddress().endpoint.c_str();
  } catch (plat::Exception&) {
    return FdIo::getName();
  }
}

const char* TcpIo::getPeerName() {
  try {
    return peerAddress().endpoint.c_str();
  } catch (plat::Exception&) {
    return nullptr;
  }
}

} // namespace io
