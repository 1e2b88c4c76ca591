#include "plat/Assert.h"

#include "plat/LogWriter.h"

#include <cstdio>
#include <cstdlib>

namespace plat {

static LogWriter vlog("Assertion");

void fatalError(const char* message) {
  fprintf(stderr, "%s\n", message);
  fflush(stderr);
  vlog.error("%s", message);
  abort();
}

void warning(const char* message) {
  vlog.error("Warning: %s", message);
}

} // namespace plat
