// Starting and stopping the helper programs of tests (Xvfb, the stand-in of
// the virtual X server, X clients): a child whose output descriptor is a pipe
// the test reads, which dies with the test process, and is stopped with
// SIGTERM (SIGKILL after two seconds).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {
namespace child {

inline std::string trim(const std::string& s) {
  size_t end = s.find_last_not_of(" \r\n");
  return end == std::string::npos ? "" : s.substr(0, end + 1);
}

// Starts a program whose descriptor outFd (1 or 3) is a pipe read by *out;
// stdin is inPath (/dev/null by default), stderr goes to errPath (kept when
// empty). The child dies with this process.
inline pid_t spawn(const std::vector<std::string>& argv, int* out, int outFd,
                   const std::string& errPath = "", const std::string& inPath = "/dev/null") {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid < 0)
    throw std::runtime_error("fork failed");
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
      _exit(127);
    int in = open(inPath.c_str(), O_RDONLY);
    if (in >= 0)
      dup2(in, 0);
    if (!errPath.empty()) {
      int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (err >= 0)
        dup2(err, 2);
    }
    if (fds[1] == outFd)
      fcntl(outFd, F_SETFD, 0);
    else
      dup2(fds[1], outFd);
    std::vector<char*> args;
    for (const std::string& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
  *out = fds[0];
  return pid;
}

// Reads one line, waiting at most 30 seconds in all.
inline std::string readLine(int fd) {
  std::string line;
  for (int waited = 0; waited < 300;) {
    pollfd p = {fd, POLLIN, 0};
    int r = poll(&p, 1, 100);
    if (r == 0) {
      waited++;
      continue;
    }
    char c;
    if (read(fd, &c, 1) != 1)
      break;
    if (c == '\n')
      return line;
    line += c;
  }
  throw std::runtime_error("no answer line (got \"" + line + "\")");
}

inline void stop(pid_t pid) {
  if (pid <= 0)
    return;
  kill(pid, SIGTERM);
  int status;
  for (int i = 0; i < 100; i++) {
    if (waitpid(pid, &status, WNOHANG) == pid)
      return;
    usleep(20000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
}

} // namespace child
} // namespace testing_support
