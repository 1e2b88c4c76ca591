#include "x0zavserver/unix/AuthLog.h"

#include <cstdio>
#include <string>
#include <syslog.h>

namespace zav {

namespace {
// The name as it may stand in a log line: user names come from the network,
// and a control character (a newline above all) could forge further lines,
// so each one is written as a backslash and three octal digits.
std::string loggable(const char* name) {
  std::string out;
  for (const char* p = name; *p; p++) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == 0x7f) {
      char esc[5];
      snprintf(esc, sizeof esc, "\\%03o", c);
      out += esc;
    } else {
      out += *p;
    }
  }
  return out;
}
} // namespace

void authLog(const char* user, const char* text) {
  openlog("zavserver", 0, LOG_AUTHPRIV);
  syslog(LOG_NOTICE, "%s: %s", user ? loggable(user).c_str() : "<none>", text);
  closelog();
}

} // namespace zav
