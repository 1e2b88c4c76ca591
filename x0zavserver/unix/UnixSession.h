// A session of an authenticated user: it writes the syslog line "Session
// started" with the user's rights when it is made, and "Session ended" when
// it goes away.
#pragma once

#include "x0zavserver/Session.h"

#include <memory>

namespace zav {

class UnixSession : public Session {
public:
  // The session of a user whose password or single sign-on was accepted,
  // with the rights the access lists give the name; owned by the caller.
  static std::unique_ptr<Session> start(const char* user);
  ~UnixSession() override;

private:
  using Session::Session;
};

} // namespace zav
