// A descriptor of a file created exclusively (it must not exist yet) with
// mode 0600 and close-on-exec, for data that no one else may read. Closed on
// destruction.
#pragma once

#include <cstddef>

namespace plat {

class FileDescriptor {
public:
  // Throws plat::SystemException "open".
  explicit FileDescriptor(const char* path);
  ~FileDescriptor();
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  // One write call; answers the number of bytes written. Throws
  // "write returned 0" or "write".
  size_t write(const void* data, size_t length);
  void close();
  int get() const { return fd_; }

private:
  int fd_ = -1;
};

} // namespace plat
