// Lets a test open a descriptor with a high number by raising the soft
// descriptor limit for the life of the object (the old limit comes back
// after), so code that must refuse descriptors select() cannot wait for can
// be tested.
#pragma once

#include <sys/resource.h>

namespace testing_support {

class DescriptorLimit {
public:
  explicit DescriptorLimit(int number) {
    if (getrlimit(RLIMIT_NOFILE, &old_) != 0 || old_.rlim_max <= rlim_t(number) + 10)
      return;
    struct rlimit raised = old_;
    if (raised.rlim_cur <= rlim_t(number) + 10)
      raised.rlim_cur = rlim_t(number) + 10;
    raised_ = setrlimit(RLIMIT_NOFILE, &raised) == 0;
  }
  ~DescriptorLimit() {
    if (raised_)
      setrlimit(RLIMIT_NOFILE, &old_);
  }
  DescriptorLimit(const DescriptorLimit&) = delete;
  DescriptorLimit& operator=(const DescriptorLimit&) = delete;

  // False when the hard limit does not allow it (the test should skip).
  bool allowed() const { return raised_; }

private:
  struct rlimit old_ = {};
  bool raised_ = false;
};

} // namespace testing_support
