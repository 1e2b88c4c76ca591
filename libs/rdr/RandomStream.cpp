#include "rdr/RandomStream.h"

#include "plat/LogWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

static plat::LogWriter vlog("RandomStream");

namespace rdr {

const char* const RandomStream::defaultSources[] = {"/dev/urandom", "/dev/random", nullptr};

RandomStream::RandomStream(const char* const* sources) : BufferedInStream(8) {
  rewindable = false;
  int err = ENOENT;
  for (const char* const* path = sources; *path && source < 0; path++) {
    source = open(*path, O_RDONLY | O_CLOEXEC);
    if (source < 0)
      err = errno;
  }
  if (source < 0)
    throw plat::SystemException("RandomStream: no system random source could be opened", err);
}

RandomStream::~RandomStream() {
  close(source);
}

int RandomStream::readData(std::uint8_t* buffer, int length) {
  ssize_t n;
  do {
    n = read(source, buffer, length);
  } while (n < 0 && errno == EINTR);
  if (n != length)
    throw plat::SystemException("reading /dev/urandom or /dev/random failed", n < 0 ? errno : EIO);
  return length;
}

} // namespace rdr
