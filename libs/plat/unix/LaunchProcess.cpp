#include "plat/unix/LaunchProcess.h"

#include "plat/Assert.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

static plat::LogWriter vlog("LaunchProcess");

namespace os {

namespace {

// Children that were started, not detached and never waited for, whose
// launchers are gone. They are reaped without blocking whenever a launcher
// starts or goes, so a program that launches and forgets keeps no zombies.
std::vector<pid_t>& unreapedChildren() {
  static std::vector<pid_t> pids;
  return pids;
}

void reapChildren() {
  std::vector<pid_t>& pids = unreapedChildren();
  for (size_t i = 0; i < pids.size();) {
    int status;
    pid_t r = waitpid(pids[i], &status, WNOHANG);
    if (r == 0 || (r < 0 && errno == EINTR)) {
      i++;
      continue;
    }
    pids[i] = pids.back();
    pids.pop_back();
  }
}

pid_t waitFor(pid_t pid, int* status) {
  pid_t r;
  do
    r = waitpid(pid, status, 0);
  while (r < 0 && errno == EINTR);
  return r;
}

} // namespace

LaunchProcess::LaunchProcess() = default;

LaunchProcess::LaunchProcess(const plat::StringVector& args, bool detached) : detached_(detached) {
  setArgs(args);
}

LaunchProcess::~LaunchProcess() {
  // Left only by a launcher that was never started.
  closeChildDescriptors();
  if (pid_ > 0 && !waited_) {
    int status;
    if (waitpid(pid_, &status, WNOHANG) == 0)
      unreapedChildren().push_back(pid_);
  }
  reapChildren();
}

void LaunchProcess::setArgs(const plat::StringVector& args) {
  args_ = args;
}

void LaunchProcess::redirect(int childFd, int parentFd) {
  auto i = childDup_.find(childFd);
  if (i != childDup_.end()) {
    int old = i->second;
    i->second = parentFd;
    bool stillUsed = old == parentFd;
    for (const auto& e : childDup_)
      stillUsed = stillUsed || e.second == old;
    if (!stillUsed)
      close(old);
    return;
  }
  childDup_[childFd] = parentFd;
}

void LaunchProcess::redirectDup2(int fromChildFd, int toChildFd) {
  auto i = childDup_.find(fromChildFd);
  PLAT_ASSERT_MSG(i != childDup_.end(), "redirectDup2: fd %d not redirected", fromChildFd);
  int fd = fcntl(i->second, F_DUPFD_CLOEXEC, 0);
  if (fd < 0)
    throw plat::SystemException("dup", errno);
  redirect(toChildFd, fd);
}

int LaunchProcess::redirectSocketPair(int childFd) {
  int sv[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) < 0)
    throw plat::SystemException("socketpair", errno);
  redirect(childFd, sv[1]);
  parentFds_.insert(sv[0]);
  return sv[0];
}

int LaunchProcess::redirectStdioSocket() {
  int fd = redirectSocketPair(0);
  redirectDup2(0, 1);
  return fd;
}

int LaunchProcess::redirectPipe(bool childReads, int childFd) {
  int p[2];
  if (pipe2(p, O_CLOEXEC) < 0)
    throw plat::SystemException("pipe", errno);
  int childEnd = childReads ? p[0] : p[1];
  int parentEnd = childReads ? p[1] : p[0];
  redirect(childFd, childEnd);
  parentFds_.insert(parentEnd);
  return parentEnd;
}

int LaunchProcess::redirectFile(bool forReading, int childFd, const char* path, bool append) {
  int flags = forReading ? O_RDONLY : O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC);
  int fd = open(path, flags | O_CLOEXEC, 0600);
  if (fd < 0)
    throw plat::SystemExceptionFmt("Can't open %s for %s", errno, path,
                                   forReading ? "reading" : "writing");
  redirect(childFd, fd);
  return fd;
}

void LaunchProcess::redirectOutputToFile(const char* path, bool append) {
  redirectFile(false, 1, path, append);
  redirectDup2(1, 2);
}

int LaunchProcess::start() {
  PLAT_CHECK(!started_ && !args_.empty());
  started_ = true;
  reapChildren();
  if (childDup_.find(0) == childDup_.end())
    redirectFile(true, 0, "/dev/null", false);

  bool child = false;
  int err = 0;
  if (detached_) {
    try {
      child = detachFork();
    } catch (const plat::SystemException& e) {
      err = e.getErrno();
    }
  } else {
    pid_ = fork();
    if (pid_ < 0)
      err = errno;
    child = pid_ == 0;
  }
  if (child)
    runChild();

  closeChildDescriptors();
  if (err)
    throw plat::SystemException("fork", err);
  return pid_;
}

void LaunchProcess::closeChildDescriptors() {
  // A descriptor may be recorded for several child numbers: closed once.
  std::set<int> fds;
  for (const auto& e : childDup_)
    fds.insert(e.second);
  for (int fd : fds)
    close(fd);
  childDup_.clear();
}

void LaunchProcess::runChild() {
  // Nothing may unwind out of the child into the caller's code.
  try {
    execChild();
  } catch (const plat::Exception& e) {
    vlog.error("%s", e.str());
  } catch (...) {
    vlog.error("Unexpected exception in launched child");
  }
  _exit(1);
}

void LaunchProcess::execChild() {
  for (int fd : parentFds_)
    close(fd);

  // First move every descriptor the child is to get above all the child
  // numbers: a parent descriptor whose number is another entry's child
  // number would otherwise be overwritten before it is handed on.
  int above = 0;
  for (const auto& e : childDup_)
    above = e.first >= above ? e.first + 1 : above;
  std::map<int, int> moved; // parent descriptor -> its copy above the child numbers
  for (const auto& e : childDup_) {
    if (moved.count(e.second))
      continue;
    int copy = fcntl(e.second, F_DUPFD_CLOEXEC, above);
    if (copy < 0) {
      vlog.error("%s", plat::SystemException("fcntl", errno).str());
      _exit(1);
    }
    moved[e.second] = copy;
  }
  for (const auto& m : moved)
    close(m.first);
  // dup2 clears close-on-exec on the copies the program is to keep.
  for (const auto& e : childDup_) {
    if (dup2(moved[e.second], e.first) < 0) {
      vlog.error("%s", plat::SystemException("dup2", errno).str());
      _exit(1);
    }
  }
  for (const auto& m : moved)
    close(m.second);

  // An ignored SIGPIPE would stay ignored in the program: writers in its
  // pipelines would run on after their readers have gone.
  signal(SIGPIPE, SIG_DFL);

  if (preExec_)
    preExec_->preExec(this);

  std::vector<char*> argv;
  for (plat::String& a : args_)
    argv.push_back(a.buf());
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  vlog.error("%s", plat::SystemException(argv[0], errno).str());
}

int LaunchProcess::wait() {
  if (pid_ <= 0)
    throw plat::Exception("LaunchProcess: process detached or not started");
  int status = 0;
  if (waitFor(pid_, &status) < 0)
    throw plat::SystemException("waitpid", errno);
  waited_ = true;
  return status;
}

bool LaunchProcess::poll(int* status) {
  if (pid_ <= 0)
    throw plat::Exception("LaunchProcess: process detached or not started");
  if (waited_)
    return true;
  pid_t r;
  do
    r = waitpid(pid_, status, WNOHANG);
  while (r < 0 && errno == EINTR);
  if (r < 0)
    throw plat::SystemException("waitpid", errno);
  waited_ = r == pid_;
  return waited_;
}

bool LaunchProcess::detachFork() {
  // The detached process may end through exit(): what the caller has
  // buffered is written out now, so that it is not written twice.
  fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0)
    throw plat::SystemException("fork", errno);
  if (pid > 0) {
    int status;
    waitFor(pid, &status);
    return false;
  }
  pid_t grandchild = fork();
  if (grandchild < 0) {
    vlog.error("%s", plat::SystemException("fork", errno).str());
    _exit(1);
  }
  if (grandchild > 0)
    _exit(0);
  setsid();
  return true;
}

namespace {

plat::StringVector argList(const char* program, va_list ap) {
  plat::StringVector args;
  args.push_back(program);
  while (const char* a = va_arg(ap, const char*))
    args.push_back(a);
  return args;
}

} // namespace

int launchWithInputPipe(const char* program, ...) {
  va_list ap;
  va_start(ap, program);
  plat::StringVector args = argList(program, ap);
  va_end(ap);
  LaunchProcess launcher(args, true);
  int fd = launcher.redirectPipe(true, 0);
  try {
    launcher.start();
  } catch (...) {
    close(fd);
    throw;
  }
  return fd;
}

void launch(const char* program, ...) {
  va_list ap;
  va_start(ap, program);
  plat::StringVector args = argList(program, ap);
  va_end(ap);
  LaunchProcess launcher(args, false);
  launcher.start();
}

} // namespace os
