#include "zavkeygen/FileInStream.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "rdr/Exception.h"

#include <cerrno>
#include <cstring>

namespace rdr {

static plat::LogWriter vlog("FileInStream");

FileInStream::FileInStream(const char* path, bool binary) {
  rewindable = false;
  if (path) {
    file_.open(path, plat::File::modeRead, binary);
    // This stream buffers already; without a second buffer inside stdio no
    // copy of the bytes is left where it cannot be wiped.
    setvbuf(file_.get(), nullptr, _IONBF, 0);
  }
}

FileInStream::FileInStream(FILE* file, bool owned) : file_(file, owned) {
  rewindable = false;
}

FileInStream::~FileInStream() {
  // The bytes passing through may be key material: they do not linger in freed
  // memory.
  explicit_bzero(start.get(), static_cast<size_t>(bufSize));
}

int FileInStream::readData(std::uint8_t* buffer, int length) {
  FILE* file = file_.get();
  if (!file)
    throw EndOfStream();
  size_t n = fread(buffer, 1, static_cast<size_t>(length), file);
  if (n > 0)
    return static_cast<int>(n);
  if (ferror(file))
    throw plat::SystemException("reading from file failed", errno);
  throw EndOfStream();
}

} // namespace rdr
