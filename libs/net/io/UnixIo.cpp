#include "net/io/UnixIo.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

static plat::LogWriter vlog("UnixIo");

namespace io {

namespace {

// Room for exactly one descriptor: CMSG_SPACE(sizeof(int)) is 24 bytes.
constexpr size_t controlSize = CMSG_SPACE(sizeof(int));

class UnixInStreamImpl : public UnixInStream {
public:
  UnixInStreamImpl(int fd) : UnixInStream(fd, -1, 0, false, true) {}
  ~UnixInStreamImpl() override {
    for (int fd : fds_)
      close(fd);
  }
  int takeFd() override {
    if (fds_.empty())
      return -1;
    int fd = fds_.front();
    fds_.pop_front();
    return fd;
  }

protected:
  int readFd(std::uint8_t* buffer, int length) override {
    struct iovec iov = {buffer, static_cast<size_t>(length)};
    alignas(struct cmsghdr) char control[controlSize];
    struct msghdr msg = {};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof(control);
    ssize_t n = recvmsg(fd, &msg, MSG_CMSG_CLOEXEC);
    if (n < 0)
      return -1;
    // Only a message carrying exactly one descriptor is taken; any other
    // descriptor that arrived is closed at once rather than leaked.
    for (struct cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
      if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
        continue;
      size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
      for (size_t i = 0; i < count; i++) {
        int fd;
        memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof(int));
        if (n > 0 && c->cmsg_len == CMSG_LEN(sizeof(int))) {
          fds_.push_back(fd);
        } else {
          vlog.error("dropping descriptor %d that came outside a single-descriptor message", fd);
          close(fd);
        }
      }
    }
    return static_cast<int>(n);
  }

private:
  std::deque<int> fds_;
};

class UnixOutStreamImpl : public UnixOutStream {
public:
  UnixOutStreamImpl(int fd) : UnixOutStream(fd, -1, 0, false) {}
  ~UnixOutStreamImpl() override {
    for (const auto& q : queue_)
      if (q.second)
        close(q.first);
  }
  void passFd(int fd, bool closeAfter) override { queue_.emplace_back(fd, closeAfter); }

protected:
  int writeFd(const std::uint8_t* data, int length) override {
    if (queue_.empty())
      return static_cast<int>(write(fd, data, length));
    struct iovec iov = {const_cast<std::uint8_t*>(data), static_cast<size_t>(length)};
    alignas(struct cmsghdr) char control[controlSize];
    memset(control, 0, sizeof(control));
    struct msghdr msg = {};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof(control);
    struct cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int));
    memcpy(CMSG_DATA(c), &queue_.front().first, sizeof(int));
    ssize_t n = sendmsg(fd, &msg, MSG_NOSIGNAL);
    if (n > 0) {
      if (queue_.front().second)
        close(queue_.front().first);
      queue_.pop_front();
    }
    return static_cast<int>(n);
  }
  // A descriptor waiting to pass goes with the first block alone.
  int writeFdV(const struct iovec* iov, int n) override {
    if (queue_.empty())
      return UnixOutStream::writeFdV(iov, n);
    return writeFd(static_cast<const std::uint8_t*>(iov[0].iov_base),
                   static_cast<int>(iov[0].iov_len));
  }

private:
  std::deque<std::pair<int, bool>> queue_;
};

int connectTo(const char* path) {
  struct sockaddr_un addr = {};
  // The path and its terminator must fit the address field.
  if (strlen(path) >= sizeof(addr.sun_path))
    throw plat::SystemException("connect", ENAMETOOLONG);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    throw plat::SystemException("socket", errno);
  addr.sun_family = AF_UNIX;
  memcpy(addr.sun_path, path, strlen(path) + 1);
  if (connect(fd, reinterpret_cast<struct sockaddr*>(&addr), sizeof(addr)) != 0) {
    int err = errno;
    close(fd);
    throw plat::SystemException("connect", err);
  }
  return fd;
}

} // namespace

UnixIo::UnixIo(int fd) : FdIo(fd, true) {
  setUp();
}

UnixIo::UnixIo(const char* path) : FdIo(connectTo(path), true) {
  setUp();
}

UnixIo::~UnixIo() = default;

void UnixIo::setUp() {
  in.reset(new UnixInStreamImpl(fd));
  out.reset(new UnixOutStreamImpl(fd));
}

UnixInStream* UnixIo::getUnixInStream() {
  return static_cast<UnixInStream*>(in.get());
}

UnixOutStream* UnixIo::getUnixOutStream() {
  return static_cast<UnixOutStream*>(out.get());
}

} // namespace io
