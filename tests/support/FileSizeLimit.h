// Makes writes past a number of bytes fail with EFBIG, as a full disk would,
// for the life of the object: lowers the soft file size limit and ignores
// SIGXFSZ, which would otherwise end the process; both come back after.
#pragma once

#include <csignal>
#include <sys/resource.h>

namespace testing_support {

class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    struct rlimit small = old_;
    small.rlim_cur = bytes;
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
  struct rlimit old_ = {};
  void (*oldHandler_)(int) = SIG_DFL;
};

} // namespace testing_support
