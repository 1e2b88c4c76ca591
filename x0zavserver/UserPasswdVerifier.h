// What the server core asks to check a user name and password. The facades
// for the user database and PAM pass the request to their co-process module.
#pragma once

#include "x0zavserver/Session.h"

#include <memory>

namespace zav {

class UserPasswdVerifier {
public:
  virtual ~UserPasswdVerifier() = default;
  // A new session owned by the caller; throws rfb::AuthFailureException when
  // the name or password is not accepted, other plat::Exception kinds when
  // the check could not be made.
  virtual std::unique_ptr<Session> verify(const char* user, const char* password) = 0;
  virtual bool isAvailable() = 0;
  virtual bool needsPassword() = 0;
};

} // namespace zav
