#include "zavkeygen/FileOutStream.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace rdr {

static plat::LogWriter vlog("FileOutStream");

FileOutStream::FileOutStream(const char* path, bool binary, bool append) {
  if (path)
    file_.open(path, append ? plat::File::modeAppend : plat::File::modeWrite, binary);
}

FileOutStream::FileOutStream(FILE* file, bool owned) : file_(file, owned) {
}

FileOutStream::~FileOutStream() {
  // After a failed write the failure has been reported already; writing
  // the same bytes again would only report it twice.
  if (file_.isOpen() && !writeFailed_) {
    try {
      flush();
    } catch (plat::Exception& e) {
      vlog.error("%s", e.str());
    }
  }
  // The bytes passing through may be key material: they do not linger in freed
  // memory.
  explicit_bzero(start.get(), static_cast<size_t>(bufSize));
}

int FileOutStream::writeData(const std::uint8_t* data, int length, bool) {
  FILE* file = file_.get();
  if (!file)
    throw plat::SystemException("writing to file failed", EBADF);
  if (fwrite(data, static_cast<size_t>(length), 1, file) != 1) {
    int err = errno;
    writeFailed_ = true;
    throw plat::SystemException("writing to file failed", err);
  }
  return length;
}

void FileOutStream::sync() {
  if (!file_.isOpen())
    return;
  flush();
  if (fflush(file_.get()) != 0)
    throw plat::SystemException("writing to file failed", errno);
  if (fsync(fileno(file_.get())) != 0)
    throw plat::SystemException("syncing file failed", errno);
}

void FileOutStream::close() {
  if (!file_.isOpen())
    return;
  flush();
  if (!file_.isOwned()) {
    FILE* file = file_.get();
    file_.reset();
    if (fflush(file) != 0)
      throw plat::SystemException("writing to file failed", errno);
    return;
  }
  // fclose writes out what stdio still buffers: a full disk may show only
  // here.
  if (fclose(file_.release()) != 0)
    throw plat::SystemException("closing file failed", errno);
}

} // namespace rdr
