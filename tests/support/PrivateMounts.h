// Whether this machine lets a test run commands as root in a private mount
// namespace with mount rights (`unshare --mount`, then tmpfs, bind and overlay
// mounts that vanish with the namespace). Tests that need it skip with the
// reason where it is missing (no root, no unshare, a container or chroot that
// forbids it).
#pragma once

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace testing_support {

// Empty when private mounts work here; otherwise why not. Probed once.
inline const std::string& privateMountsUnsupported() {
  static const std::string reason = [] {
    if (geteuid() != 0)
      return std::string("needs root for private mount namespaces");
    if (std::system("command -v unshare >/dev/null 2>&1") != 0)
      return std::string("needs unshare (util-linux)");
    if (std::system("unshare --mount --propagation private sh -c "
                    "'mount -t tmpfs none /mnt' >/dev/null 2>&1") != 0)
      return std::string("private mount namespaces with mount rights are not available here");
    return std::string();
  }();
  return reason;
}

} // namespace testing_support
