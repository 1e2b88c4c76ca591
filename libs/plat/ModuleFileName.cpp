#include "plat/ModuleFileName.h"

#include "plat/DString.h"
#include "plat/Exception.h"
#include "plat/StringUtils.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace plat {

String ModuleFileName::defaultArgv0;

ModuleFileName::ModuleFileName(const char* name) {
  if (name) {
    path_ = String::adopt(resolve(name));
    return;
  }
  if (defaultArgv0.isNull())
    throw Exception("No program name specified and no default set");
  path_ = defaultArgv0;
}

void ModuleFileName::setDefaultArgv0(const char* name) {
  defaultArgv0 = String::adopt(resolve(name));
}

char* ModuleFileName::resolve(const char* name) {
  if (!name)
    return nullptr;
  if (strchr(name, '/'))
    return strDup(name);
  const char* path = getenv("PATH");
  if (!path)
    return nullptr;
  String rest(path);
  while (!rest.isNull()) {
    String element, tail;
    strSplit(rest.c_str(), ':', &element, &tail);
    DString candidate;
    candidate.appendFormat("%s/%s", element.c_str(), name);
    struct stat st;
    // Only a regular file can be run: a directory of that name is passed
    // over although it carries execute bits.
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111))
      return strDup(candidate.c_str());
    rest = std::move(tail);
  }
  return nullptr;
}

} // namespace plat
