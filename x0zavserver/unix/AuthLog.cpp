#include "x0zavserver/unix/AuthLog.h"

#include "plat/LogWriter.h"

#include <syslog.h>

static plat::LogWriter vlog("AuthLog");

namespace zav {

void authLog(const char* user, const char* text) {
  openlog("zavserver", 0, LOG_AUTHPRIV);
  syslog(LOG_NOTICE, "%s: %s", user ? user : "<none>", text);
  closelog();
}

} // namespace zav
