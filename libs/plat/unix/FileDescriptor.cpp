#include "plat/FileDescriptor.h"

#include "plat/Assert.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

static plat::LogWriter vlog("FileDescriptor");

namespace plat {

FileDescriptor::FileDescriptor(const char* path) {
  fd_ = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd_ < 0)
    throw SystemException("open", errno);
}

FileDescriptor::~FileDescriptor() {
  close();
}

size_t FileDescriptor::write(const void* data, size_t length) {
  ssize_t result = ::write(fd_, data, length);
  if (result == 0)
    throw SystemException("write returned 0", 0);
  if (result < 0)
    throw SystemException("write", errno);
  size_t written = static_cast<size_t>(result);
  size_t len = length;
  PLAT_CHECK(written <= len);
  return written;
}

void FileDescriptor::close() {
  if (fd_ != -1)
    ::close(fd_);
  fd_ = -1;
}

} // namespace plat
