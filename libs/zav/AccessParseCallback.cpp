#include "zav/AccessParseCallback.h"

#include "plat/LogWriter.h"
#include "plat/StringUtils.h"

#include <memory>

static plat::LogWriter vlog("AccessList");

namespace zav {
namespace Access {

Rights parseList(const char* list, ParseCallback& callback, bool ignoreErrors) {
  if (!list || !*list)
    return callback.result();
  std::unique_ptr<char[]> copy(plat::strDup(list));
  char* cursor = copy.get();
  while (cursor) {
    char* piece = plat::strSepChar(&cursor, ',');
    char* rest = piece;
    char* name = plat::strSepChar(&rest, ':');
    Rights rights = NoAccess;
    if (rest)
      rights = Rights(rest, ignoreErrors, NoAccess);
    else if (*name)
      rights = Default;
    vlog.debug("entry %s: %s", name, rights.letters().c_str());
    callback.entry(name, rights);
  }
  return callback.result();
}

} // namespace Access
} // namespace zav
