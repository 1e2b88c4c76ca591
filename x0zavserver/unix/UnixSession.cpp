#include "x0zavserver/unix/UnixSession.h"

#include "plat/LogWriter.h"
#include "x0zavserver/unix/AuthLog.h"

static plat::LogWriter vlog("UnixSession");

namespace zav {

UnixSession::~UnixSession() {
  authLog(user.get(), "Session ended");
}

} // namespace zav
