// Lets a test open a descriptor with a high number by raising the soft
// descriptor limit for the life of the object (the old limit comes back
// after), so code that must refuse descriptors select() cannot wait for can
// be tested; or, set exactly, gives the test (and the programs it starts) the
// usual limit of a desktop session, or one lower, whatever the machine's is.
#pragma once

#include <sys/resource.h>

namespace testing_support {

class DescriptorLimit {
public:
  enum Mode { Above, Exactly };

  // Above: room for a descriptor numbered `number` (and a few more).
  // Exactly: the soft limit is `number`.
  explicit DescriptorLimit(int number, Mode mode = Above) {
    rlim_t wanted = mode == Above ? rlim_t(number) + 10 : rlim_t(number);
    if (getrlimit(RLIMIT_NOFILE, &old_) != 0 || old_.rlim_max < wanted ||
        (mode == Above && old_.rlim_max == wanted))
      return;
    struct rlimit changed = old_;
    if (mode == Exactly || changed.rlim_cur <= wanted)
      changed.rlim_cur = wanted;
    raised_ = setrlimit(RLIMIT_NOFILE, &changed) == 0;
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
