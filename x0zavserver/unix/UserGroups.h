// The groups a user of the user database belongs to: the user's primary
// group and every group that lists the user, as a process that acts for the
// user carries them (setgroups).
#pragma once

#include <sys/types.h>
#include <vector>

namespace os {

class Passwd;

// Throws plat::Exception when the group database cannot be read whole.
std::vector<gid_t> userGroups(const Passwd& user);

} // namespace os
