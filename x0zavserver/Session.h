// An authenticated user: an owned copy of the name that was verified and the
// user's access rights. Made by the password modules, owned by the caller.
#pragma once

#include "plat/String.h"
#include "zav/Access.h"

namespace zav {

class Session {
public:
  Session(const char* userName, Access::Rights rights) : user(userName), rights(rights) {}
  virtual ~Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  plat::String user;
  Access::Rights rights;
};

} // namespace zav
