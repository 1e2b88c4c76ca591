// The descriptors open in this process, read from /proc/self/fd without the
// directory's own descriptor: for tests that check that nothing leaks or
// that a bound on open files holds.
#pragma once

#include <dirent.h>

#include <cstdlib>
#include <set>

namespace testing_support {

inline std::set<int> openDescriptors() {
  std::set<int> fds;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (dirent* e = readdir(d)) {
      int fd = atoi(e->d_name);
      if (e->d_name[0] != '.' && fd != dirfd(d))
        fds.insert(fd);
    }
    closedir(d);
  }
  return fds;
}

} // namespace testing_support
