#include "ft/unix/FdInStream.h"

#include "rdr/Exception.h"

#include <cerrno>
#include <unistd.h>

namespace ft {

FdInStream::FdInStream(int fd_) : fd(fd_) {
}

FdInStream::~FdInStream() {
  close(fd);
}

int FdInStream::readData(std::uint8_t* buffer, int length) {
  ssize_t n;
  do {
    n = read(fd, buffer, static_cast<size_t>(length));
  } while (n < 0 && errno == EINTR);
  if (n < 0)
    throw plat::SystemException("read", errno);
  if (n == 0)
    throw rdr::EndOfStream();
  return static_cast<int>(n);
}

} // namespace ft
