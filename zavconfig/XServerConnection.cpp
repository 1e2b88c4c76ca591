#include "zavconfig/XServerConnection.h"

#include "net/SocketManager.h"
#include "net/TcpSocket.h"
#include "net/io/TcpIo.h"
#include "net/io/TcpListener.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/Time.h"
#include "rdr/FramedOutStream.h"
#include "rdr/RandomStream.h"

#include <cerrno>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

static plat::LogWriter vlog("ServerConnection");

namespace zavconfig {

namespace {

// Large reads and whole-frame writes for bulk streams.
constexpr int streamInBufSize = 64 * 1024;

// Milliseconds left until deadline (100-ns ticks), at least 0.
int remainingMs(std::uint64_t deadline) {
  int ms = plat::msDiff(deadline, plat::currentTime());
  return ms > 0 ? ms : 0;
}

// Waits until fd has input or deadline passes; false on time-out.
bool waitReadable(int fd, std::uint64_t deadline) {
  for (;;) {
    pollfd p = {fd, POLLIN, 0};
    int n = poll(&p, 1, remainingMs(deadline));
    if (n > 0)
      return true;
    if (n == 0)
      return false;
    if (errno != EINTR)
      throw plat::SystemException("poll", errno);
  }
}

class Fd {
public:
  explicit Fd(int fd_) : fd(fd_) {}
  ~Fd() {
    if (fd >= 0)
      ::close(fd);
  }
  int release() {
    int f = fd;
    fd = -1;
    return f;
  }
  int fd;
};

// Reads the four cookie bytes of a new connection, exactly four, so that
// whatever follows stays in the socket for the stream's reader. False when
// the peer closes or the deadline passes first.
bool readCookie(int fd, std::uint64_t deadline, std::uint32_t* value) {
  std::uint8_t bytes[4];
  int have = 0;
  while (have < 4) {
    if (!waitReadable(fd, deadline))
      return false;
    ssize_t n = ::recv(fd, bytes + have, 4 - have, 0);
    if (n == 0)
      return false;
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
        continue;
      return false;
    }
    have += static_cast<int>(n);
  }
  *value = (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
           (std::uint32_t(bytes[2]) << 8) | bytes[3];
  return true;
}

} // namespace

XServerConnection::XServerConnection(net::SocketServer* inner_) : inner(inner_) {
}

XServerConnection::~XServerConnection() = default;

void XServerConnection::connect(Display* dpy, net::SocketManager* manager, int timeoutMs) {
  {
    rdr::RandomStream random;
    do
      cookie = random.readU32();
    while (cookie == 0);
  }
  io::TcpListener listener(0, AF_INET, true);
  int port = listener.getLocalAddress().port;
  request(dpy, port, cookie);

  const std::uint64_t deadline = plat::addMs(plat::currentTime(), timeoutMs);
  for (;;) {
    if (!waitReadable(listener.getFd(), deadline))
      throw plat::Exception(
          (std::string("The X Server did not open the ") + what() + " connection").c_str());
    int fd = ::accept4(listener.getFd(), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED)
        continue;
      throw plat::SystemException("unable to accept new connection", errno);
    }
    Fd accepted(fd);
    std::uint32_t presented = 0;
    if (!readCookie(fd, deadline, &presented)) {
      vlog.error("X Server connection closed before authentication");
      continue;
    }
    if (presented != cookie) {
      // Some other local process connected: refuse it and keep waiting.
      vlog.error("X Server authentication failed");
      continue;
    }
    vlog.debug("X Server authentication succeeded");
    cookie = 0;
    std::unique_ptr<io::TcpIo> io(new io::TcpIo(accepted.release(), true, false, streamInBufSize,
                                                rdr::FramedOutStream::bulkBufferSize));
    std::unique_ptr<net::Socket> sock(new net::TcpSocket(io.get()));
    io.release();
    manager->addSocket(sock.get(), this, false);
    net::Socket* served = sock.release();
    // Bytes that came with the cookie may already wait in the stream; a
    // readable event for them may never come, so they are handled now.
    socketReadable(served);
    return;
  }
}

void XServerConnection::addSocket(net::Socket* sock, bool outgoing) {
  inner->addSocket(sock, outgoing);
}

void XServerConnection::removeSocket(net::Socket* sock) {
  inner->removeSocket(sock);
}

void XServerConnection::socketReadable(net::Socket* sock) {
  inner->socketReadable(sock);
}

void XServerConnection::socketWritable(net::Socket* sock) {
  inner->socketWritable(sock);
}

void XServerConnection::socketConnected(net::Socket* sock) {
  inner->socketConnected(sock);
}

} // namespace zavconfig
