#include "x0zavserver/unix/FailureBlacklist.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/Time.h"
#include "x0zavserver/AuthFailureException.h"
#include "plat/unix/OwnedFd.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static plat::LogWriter vlog("FailureBlacklist");

namespace zav {

namespace {

using Fd = os::OwnedFd;

// Refuses anything that is not ours and private: the directory and the file
// hold security state, so a planted object must never be followed or used.
void checkOwned(int fd, const struct stat& st, const char* what, const char* path) {
  if (st.st_uid != geteuid())
    throw plat::ExceptionFmt("%s %s is not owned by the server", what, path);
  if (st.st_mode & 077) {
    if (fchmod(fd, st.st_mode & 07700) != 0)
      throw plat::SystemExceptionFmt("fchmod(%s)", errno, path);
  }
}

void lockWhole(int fd) {
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  while (fcntl(fd, F_SETLKW, &lock) != 0) {
    if (errno != EINTR)
      throw plat::SystemException("fileLock", errno);
  }
}

struct stat fstatOrThrow(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0)
    throw plat::SystemException("fstat", errno);
  return st;
}

} // namespace

FailureBlacklist::FailureBlacklist(const char* directory, uid_t uid)
    : directory_(directory), uid_(uid) {
}

int FailureBlacklist::openFile() {
  if (mkdir(directory_, 0700) != 0 && errno != EEXIST)
    throw plat::SystemExceptionFmt("mkDir(%s)", errno, directory_);
  Fd dir(open(directory_, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (dir.get() < 0)
    throw plat::SystemExceptionFmt("open(%s)", errno, directory_);
  checkOwned(dir.get(), fstatOrThrow(dir.get()), "Directory", directory_);

  char name[32];
  snprintf(name, sizeof(name), "%u", static_cast<unsigned>(uid_));
  int fd = openat(dir.get(), name,
                  O_RDWR | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0)
    throw plat::SystemExceptionFmt("open(%s/%s)", errno, directory_, name);
  Fd file(fd);
  struct stat st = fstatOrThrow(fd);
  if (!S_ISREG(st.st_mode))
    throw plat::ExceptionFmt("Blacklist file %s/%s is not a regular file", directory_, name);
  checkOwned(fd, st, "Blacklist file", name);
  return file.release();
}

void FailureBlacklist::recordAttempt() {
  Fd file(openFile());
  lockWhole(file.get());
  struct stat st = fstatOrThrow(file.get());
  // In 100-nanosecond ticks, from the file's time to its full resolution.
  long long changed =
      static_cast<long long>(plat::unixTimeToTicks(st.st_mtim.tv_sec)) + st.st_mtim.tv_nsec / 100;
  long long age = static_cast<long long>(plat::currentTime()) - changed;
  // A time ahead of the clock means the clock was stepped back since: the
  // block it recorded is over, or it would last until the clock caught up.
  if (age < 0)
    age = blockTicks;
  if (st.st_size > maxFailures && age < blockTicks) {
    // Released before standard error, which the user controls, can block.
    close(file.release());
    fprintf(stderr, "Blacklist active: last attempt %ds ago\n", static_cast<int>(age / 10000000));
    throw rfb::AuthFailureException("Too many security failures");
  }
  off_t before = st.st_size;
  if (age >= blockTicks && before > 0) {
    // Emptied rather than removed: a launcher waiting for the lock holds the
    // same file open and must count into it, not into a removed one.
    if (ftruncate(file.get(), 0) != 0)
      throw plat::SystemException("fileTruncate(ftruncate)", errno);
    before = 0;
  }
  ssize_t n;
  do {
    n = write(file.get(), " ", 1);
  } while (n < 0 && errno == EINTR);
  if (n != 1 || fstatOrThrow(file.get()).st_size != before + 1) {
    vlog.error("Unable to record the attempt in %s", directory_);
    throw plat::Exception("Unable to record the authentication attempt");
  }
}

void FailureBlacklist::recordSuccess() {
  Fd file(openFile());
  lockWhole(file.get());
  struct stat st = fstatOrThrow(file.get());
  if (st.st_size > 0 && ftruncate(file.get(), st.st_size - 1) != 0)
    throw plat::SystemException("fileTruncate(ftruncate)", errno);
}

} // namespace zav
