// The authentication lines of the system log: ident "zavserver", facility
// LOG_AUTHPRIV, priority LOG_NOTICE, each line "<user>: <text>" ("<none>"
// for a missing user; control characters in the name are written as "\ooo",
// three octal digits). The log is opened and closed around every line.
#pragma once

namespace zav {

void authLog(const char* user, const char* text);

} // namespace zav
