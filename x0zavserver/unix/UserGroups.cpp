#include "x0zavserver/unix/UserGroups.h"

#include "plat/Exception.h"
#include "plat/unix/Passwd.h"

#include <grp.h>

namespace os {

std::vector<gid_t> userGroups(const Passwd& user) {
  std::vector<gid_t> groups(64);
  int count = static_cast<int>(groups.size());
  if (getgrouplist(user.getName(), user.getGid(), groups.data(), &count) < 0) {
    // count now holds how many there are.
    groups.resize(static_cast<size_t>(count));
    if (getgrouplist(user.getName(), user.getGid(), groups.data(), &count) < 0)
      throw plat::ExceptionFmt("getgrouplist: the groups of %s changed while being read",
                               user.getName());
  }
  groups.resize(static_cast<size_t>(count));
  return groups;
}

} // namespace os
