// The authentication lines of the system log: ident "zavserver", facility
// LOG_AUTHPRIV, priority LOG_NOTICE, each line "<user>: <text>" ("<none>"
// for a missing user). The user name comes from the network: it is written
// as plat::strLoggable shows it, so that it can neither start nor hide lines,
// and is bounded. The log is opened and closed around every line.
#pragma once

namespace zav {

void authLog(const char* user, const char* text);

} // namespace zav
