#include "zavkeygen/FileInStream.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "rdr/Exception.h"

#include <cerrno>

namespace rdr {

static plat::LogWriter vlog("FileInStream");

FileInStream::FileInStream(const char* path, bool binary) {
  rewindable = false;
  if (path)
    file_.open(path, plat::File::modeRead, binary);
}

FileInStream::FileInStream(FILE* file, bool owned) : file_(file, owned) {
  rewindable = false;
}

FileInStream::~FileInStream() = default;

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
