#include "x0zavserver/unix/UnixSession.h"

#include "plat/DString.h"
#include "x0zavserver/AccessControl.h"
#include "x0zavserver/unix/AuthLog.h"

namespace zav {

std::unique_ptr<Session> UnixSession::start(const char* user) {
  std::unique_ptr<Session> session(new UnixSession(user, getRights(user)));
  plat::DString line;
  line.appendFormat("Session started: %s access", session->rights.names().c_str());
  authLog(user, line.c_str());
  return session;
}

UnixSession::~UnixSession() {
  authLog(user.get(), "Session ended");
}

} // namespace zav
