#include "x0zavserver/unix/LibraryPathCheck.h"

#include "x0zavserver/unix/RootOnlyFile.h"
#include "x0zavserver/unix/SecurityExceptionFmt.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace gssapi {

plat::String checkLibraryPath(const char* path) {
  if (getuid() != 0)
    return plat::String(path);
  if (path[0] != '/')
    throw SecurityExceptionFmt("%s: not an absolute path", path);
  char resolved[PATH_MAX];
  if (!realpath(path, resolved))
    throw plat::SystemException("realpath", errno);
  try {
    os::RootOnlyFile checked(resolved);
  } catch (os::RootOnlyFile::Refused& e) {
    using Fault = os::RootOnlyFile::Fault;
    switch (e.fault) {
    case Fault::Link:
      // A link where realpath found none: the path changed under the check.
      throw plat::SystemExceptionFmt("open(%s)", ELOOP, e.entry.c_str());
    case Fault::NotRegular:
      throw SecurityExceptionFmt("%s: not a regular file", e.entry.c_str());
    case Fault::NotRoot:
    case Fault::Writable:
      break;
    }
    throw SecurityExceptionFmt("%s: permissions are not restrictive enough", e.entry.c_str());
  }
  return plat::String(resolved);
}

} // namespace gssapi
