#include "net/io/TcpListener.h"

#include "net/io/TcpIo.h"
#include "plat/LogWriter.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

static plat::LogWriter vlog("TcpListener");

namespace io {

namespace {
int openListening(int port, int family, bool localhostOnly, int* err) {
  int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *err = errno;
    return -1;
  }
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  int r;
  if (family == AF_INET6) {
    if (setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one) < 0)
      vlog.debug("setsockopt(IPV6_V6ONLY)");
    struct sockaddr_in6 sa;
    memset(&sa, 0, sizeof sa);
    sa.sin6_family = AF_INET6;
    sa.sin6_port = htons(static_cast<uint16_t>(port));
    sa.sin6_addr = localhostOnly ? in6addr_loopback : in6addr_any;
    r = bind(fd, reinterpret_cast<struct sockaddr*>(&sa), sizeof sa);
  } else {
    struct sockaddr_in sa;
    memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(localhostOnly ? INADDR_LOOPBACK : INADDR_ANY);
    r = bind(fd, reinterpret_cast<struct sockaddr*>(&sa), sizeof sa);
  }
  if (r < 0) {
    *err = errno;
    close(fd);
    return -1;
  }
  return fd;
}
} // namespace

TcpListener::TcpListener(int port, int family, bool localhostOnly_, int fd_)
    : FdListener(fd_), localhostOnly(localhostOnly_) {
  if (fd < 0) {
    int err = EAFNOSUPPORT;
    if (family == AF_INET6 || family == 0)
      fd = openListening(port, AF_INET6, localhostOnly, &err);
    if (family == AF_INET || (family == 0 && fd < 0))
      fd = openListening(port, AF_INET, localhostOnly, &err);
    if (fd < 0)
      throw plat::SystemException("unable to create listening socket", err);
  }
  try {
    FdIo::setInheritable(fd, false);
    FdIo::setBlocking(fd, false);
  } catch (plat::Exception&) {
    close(fd);
    throw;
  }
  if (listen(fd, 5) < 0) {
    int err = errno;
    close(fd);
    throw plat::SystemException("unable to set socket to listening mode", err);
  }
}

TcpListener::~TcpListener() {
  setAcceptor(nullptr);
  if (closeFd)
    close(fd);
}

FdIo* TcpListener::accept() {
  int newFd;
  do {
    newFd = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
  } while (newFd < 0 && errno == EINTR);
  if (newFd < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK)
      return nullptr;
    throw plat::SystemException("unable to accept new connection", errno);
  }
  return new TcpIo(newFd, true);
}

const AddressRecord& TcpListener::getLocalAddress() {
  if (!localAddr)
    localAddr.reset(new AddressRecord(AddressRecord::fromSocket(fd, false, nullptr)));
  return *localAddr;
}

} // namespace io
