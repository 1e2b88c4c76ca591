#include "zavconfig/XServerConnection.h"

#include "net/SocketManager.h"
#include "net/TcpSocket.h"
#include "net/io/TcpIo.h"
#include "net/io/TcpListener.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/Time.h"
#include "plat/unix/EndSignal.h"
#include "rdr/FramedOutStream.h"
#include "rdr/RandomStream.h"

#include <cerrno>
#include <list>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

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

// A connection accepted while the cookie is awaited, closed unless released,
// with the cookie bytes read from it so far.
class Pending {
public:
  explicit Pending(int fd_) : fd(fd_) {}
  ~Pending() {
    if (fd >= 0)
      ::close(fd);
  }
  Pending(const Pending&) = delete;
  Pending& operator=(const Pending&) = delete;

  int release() {
    int f = fd;
    fd = -1;
    return f;
  }
  // Reads what has come of the four cookie bytes, never more, so that
  // whatever follows stays in the socket for the stream's reader. False when
  // the peer has closed or the connection failed.
  bool read() {
    ssize_t n = ::recv(fd, bytes + have, 4 - have, MSG_DONTWAIT);
    if (n > 0) {
      have += static_cast<int>(n);
      return true;
    }
    return n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK);
  }
  bool complete() const { return have == 4; }
  std::uint32_t value() const {
    return (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
           (std::uint32_t(bytes[2]) << 8) | bytes[3];
  }

  int fd;

private:
  std::uint8_t bytes[4] = {};
  int have = 0;
};

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

  // Every connection is read side by side under the one deadline: one that
  // sends too little holds up none of the others.
  const std::uint64_t deadline = plat::addMs(plat::currentTime(), timeoutMs);
  std::list<Pending> pending;
  for (;;) {
    std::vector<pollfd> fds;
    fds.push_back({listener.getFd(), POLLIN, 0});
    for (const Pending& p : pending)
      fds.push_back({p.fd, POLLIN, 0});
    // A request to end the program ends the wait too (the last entry).
    fds.push_back({os::EndSignal::fd(), POLLIN, 0});
    int n = poll(fds.data(), fds.size(), remainingMs(deadline));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      throw plat::SystemException("poll", errno);
    }
    if (fds.back().revents != 0)
      throw os::EndSignal::Ended();
    if (n == 0)
      throw plat::Exception(
          (std::string("The X Server did not open the ") + what() + " connection").c_str());

    size_t i = 1;
    for (auto p = pending.begin(); p != pending.end(); i++) {
      if (fds[i].revents == 0) {
        ++p;
        continue;
      }
      if (!p->read()) {
        vlog.error("X Server connection closed before authentication");
        p = pending.erase(p);
        continue;
      }
      if (!p->complete()) {
        ++p;
        continue;
      }
      if (p->value() != cookie) {
        // Some other local process connected: refuse it and keep waiting.
        vlog.error("X Server authentication failed");
        p = pending.erase(p);
        continue;
      }
      vlog.debug("X Server authentication succeeded");
      cookie = 0;
      int fd = p->release();
      pending.clear();
      std::unique_ptr<io::TcpIo> io(
          new io::TcpIo(fd, true, false, streamInBufSize, rdr::FramedOutStream::bulkBufferSize));
      std::unique_ptr<net::Socket> sock(new net::TcpSocket(io.get()));
      io.release();
      manager->addSocket(sock.get(), this, false);
      net::Socket* served = sock.release();
      // Bytes that came with the cookie may already wait in the stream; a
      // readable event for them may never come, so they are handled now.
      socketReadable(served);
      return;
    }

    if (fds[0].revents == 0)
      continue;
    int fd = ::accept4(listener.getFd(), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED)
        continue;
      throw plat::SystemException("unable to accept new connection", errno);
    }
    // Any local process may connect: beyond a few dozen waiting at once,
    // the one that has waited longest goes.
    if (pending.size() >= maxPending) {
      vlog.error("Too many connections wait to authenticate: the oldest is closed");
      pending.pop_front();
    }
    pending.emplace_back(fd);
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
