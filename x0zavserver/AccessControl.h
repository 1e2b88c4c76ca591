// Access rights of an authenticated user, computed from the parameters
// AllowedUsers and AllowedGroups. Both lists only ever add rights: the
// rights of every matching entry of either list are ORed together.
#pragma once

#include "plat/StringParameter.h"
#include "zav/Access.h"

namespace zav {

extern plat::StringParameter allowedUsers;
extern plat::StringParameter allowedGroups;

// The rights of the user. A name the user database does not hold is matched
// by that name alone. A malformed list throws Access::Rights::BadAccessException.
Access::Rights getRights(const char* userName);

} // namespace zav
