#include "plat/unix/PrimaryIp4.h"

#include "plat/DString.h"
#include "plat/Exception.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace os {

namespace {

// Closes the pipe on every path; pclose's status is read only on success.
class Pipe {
public:
  explicit Pipe(FILE* f) : f_(f) {}
  ~Pipe() {
    if (f_)
      pclose(f_);
  }
  FILE* get() const { return f_; }
  int close() {
    int status = pclose(f_);
    f_ = nullptr;
    return status;
  }

private:
  FILE* f_;
};

} // namespace

plat::String getPrimaryIp4(const char* scriptPath) {
  struct stat st;
  if (stat(scriptPath, &st) != 0)
    throw plat::SystemExceptionFmt("stat(%s)", errno, scriptPath);
  if (!(st.st_mode & 01))
    throw plat::ExceptionFmt("%s: not executable", scriptPath);

  // The path goes to the shell quoted, so that no character of it is taken
  // as shell syntax.
  plat::DString command;
  command.append("'");
  command.appendReplacing(scriptPath, "'", "'\\''");
  command.append("'");
  Pipe pipe(popen(command.c_str(), "r"));
  if (!pipe.get())
    throw plat::SystemExceptionFmt("%s: open", errno, scriptPath);

  char line[1024];
  errno = 0;
  if (!fgets(line, sizeof line, pipe.get())) {
    if (errno != 0)
      throw plat::SystemExceptionFmt("%s", errno, scriptPath);
    throw plat::ExceptionFmt("%s did not write anything", scriptPath);
  }
  size_t len = strlen(line);
  if (len > 0 && line[len - 1] == '\n')
    line[--len] = '\0';
  // Read the rest, so that a script still writing is not killed by SIGPIPE
  // and reported as failing.
  char rest[4096];
  while (fread(rest, 1, sizeof rest, pipe.get()) > 0) {
  }
  if (pipe.close() != 0)
    throw plat::ExceptionFmt("%s: %s", scriptPath, line);
  return plat::String(line);
}

} // namespace os
