#include "plat/unix/EndSignal.h"

#include "plat/Exception.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace os {

namespace {

volatile sig_atomic_t writeEnd = -1;
int readEnd = -1;

} // namespace

EndSignal::Scope::Scope() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
    throw plat::SystemException("pipe", errno);
  readEnd = fds[0];
  writeEnd = fds[1];
}

EndSignal::Scope::~Scope() {
  int fd = writeEnd;
  writeEnd = -1;
  close(fd);
  close(readEnd);
  readEnd = -1;
}

int EndSignal::fd() {
  return readEnd;
}

bool EndSignal::raise() {
  int fd = writeEnd;
  if (fd < 0)
    return false;
  int saved = errno;
  char byte = 1;
  // A full pipe already holds the request.
  ssize_t ignored = write(fd, &byte, 1);
  (void)ignored;
  errno = saved;
  return true;
}

bool EndSignal::raised() {
  if (readEnd < 0)
    return false;
  pollfd p = {readEnd, POLLIN, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

void EndSignal::check() {
  if (raised())
    throw Ended();
}

} // namespace os
