#include "x0zavserver/unix/AuthLog.h"

#include "plat/StringUtils.h"

#include <syslog.h>

namespace zav {

void authLog(const char* user, const char* text) {
  openlog("zavserver", 0, LOG_AUTHPRIV);
  syslog(LOG_NOTICE, "%s: %s", user ? plat::strLoggable(user).c_str() : "<none>", text);
  closelog();
}

} // namespace zav
