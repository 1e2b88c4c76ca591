// The checks a GSS-API library path must pass before root loads it.
#pragma once

#include "plat/String.h"

namespace gssapi {

// Does nothing but return a copy of the path unless the real user is root.
// For root: the path must be absolute; it is resolved, and the resolved path
// must pass os::RootOnlyFile: the file and every directory above it owned by
// root and writable by neither group nor others (sticky directories aside),
// the file a regular file. Returns the resolved path, which no one
// but root can change once it has passed, so loading it loads what was
// checked. Throws SecurityExceptionFmt "%s: not an absolute path", "%s:
// permissions are not restrictive enough" (with the resolved file or
// directory), "%s: not a regular file", or plat::SystemException "realpath",
// "open(%s)" or "stat".
plat::String checkLibraryPath(const char* path);

} // namespace gssapi
