// A descriptor owned by one object, closed when it goes (or when another
// takes its place); -1 owns nothing.
#pragma once

#include <unistd.h>

namespace os {

class OwnedFd {
public:
  explicit OwnedFd(int fd = -1) : fd_(fd) {}
  ~OwnedFd() { reset(); }
  OwnedFd(const OwnedFd&) = delete;
  OwnedFd& operator=(const OwnedFd&) = delete;

  int get() const { return fd_; }
  // The descriptor, which the caller now owns.
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd = -1) {
    if (fd_ >= 0)
      close(fd_);
    fd_ = fd;
  }

private:
  int fd_;
};

} // namespace os
