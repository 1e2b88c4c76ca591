// Starts a private Xvfb on a free display and, in front of it, the stand-in of
// the virtual X server's extension (tests/xzav/xzav_double.py); both are
// stopped by the destructor, and die with the test process if it dies first.
// Gives the display name, a control channel (one JSON line per command, one
// JSON line back) and the log of decoded requests.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

class XzavDouble {
public:
  XzavDouble() {
    char tmpl[] = "/tmp/xzavtest.XXXXXX";
    if (!mkdtemp(tmpl))
      throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
    controlPath_ = dir_ + "/control";
    logPath_ = dir_ + "/requests.log";
    try {
      start();
    } catch (...) {
      shutdown();
      throw;
    }
  }

  ~XzavDouble() { shutdown(); }

  XzavDouble(const XzavDouble&) = delete;
  XzavDouble& operator=(const XzavDouble&) = delete;

  // The decoded requests, one per line, since the last reset.
  std::vector<std::string> log() const {
    std::vector<std::string> lines;
    std::ifstream in(logPath_);
    std::string line;
    while (std::getline(in, line))
      lines.push_back(line);
    return lines;
  }

  // The display the double serves, e.g. ":21", and the Xvfb behind it.
  const std::string& display() const { return display_; }
  const std::string& xvfbDisplay() const { return xvfbDisplay_; }
  const std::string& dir() const { return dir_; }

  // Sends one JSON command and returns the JSON answer line.
  std::string control(const std::string& json) {
    if (controlFd_ < 0) {
      controlFd_ = socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un addr = {};
      addr.sun_family = AF_UNIX;
      snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", controlPath_.c_str());
      if (::connect(controlFd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0)
        throw std::runtime_error("cannot reach the control socket");
    }
    std::string line = json + "\n";
    if (write(controlFd_, line.data(), line.size()) != ssize_t(line.size()))
      throw std::runtime_error("control write failed");
    std::string answer = readLine(controlFd_);
    if (answer.find("\"ok\": true") == std::string::npos)
      throw std::runtime_error("control command " + json + " failed: " + answer);
    return answer;
  }

  // Back to the initial state: no faults, extension present, empty log.
  void reset() {
    control("{\"cmd\": \"reset\"}");
    if (truncate(logPath_.c_str(), 0) != 0 && errno != ENOENT)
      throw std::runtime_error("cannot empty the request log");
  }

  // Waits until every client of the double has disconnected.
  void waitIdle() { control("{\"cmd\": \"wait_idle\", \"timeout\": 20}"); }

private:
  void start() {
    int xvfbOut = -1;
    xvfbPid_ = spawn(
        {"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"},
        &xvfbOut, 3, dir_ + "/xvfb.log");
    std::string xvfbLine = readLine(xvfbOut);
    close(xvfbOut);
    xvfbDisplay_ = ":" + trim(xvfbLine);

    int out = -1;
    std::string script = std::string(ZAV_SOURCE_DIR) + "/tests/xzav/xzav_double.py";
    doublePid_ = spawn({"python3", script, "--xvfb-display", trim(xvfbLine), "--control",
                        controlPath_, "--log", logPath_},
                       &out, 1);
    std::string ready = readLine(out);
    close(out);
    // "READY :M <control path>"
    if (ready.compare(0, 6, "READY ") != 0)
      throw std::runtime_error("double did not start: " + ready);
    display_ = ready.substr(6, ready.find(' ', 6) - 6);
  }

  void shutdown() {
    if (controlFd_ >= 0)
      close(controlFd_);
    controlFd_ = -1;
    stop(doublePid_);
    stop(xvfbPid_);
    doublePid_ = xvfbPid_ = -1;
    std::string cmd = "rm -rf '" + dir_ + "'";
    if (system(cmd.c_str()) != 0)
      fprintf(stderr, "could not remove %s\n", dir_.c_str());
  }

  static std::string trim(const std::string& s) {
    size_t end = s.find_last_not_of(" \r\n");
    return end == std::string::npos ? "" : s.substr(0, end + 1);
  }

  // Starts a program whose descriptor outFd (1 or 3) is a pipe read by *out;
  // stdin is /dev/null, stderr goes to errPath (kept when empty). The child
  // dies with this process.
  static pid_t spawn(const std::vector<std::string>& argv, int* out, int outFd,
                     const std::string& errPath = "") {
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
      int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
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
  static std::string readLine(int fd) {
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

  static void stop(pid_t pid) {
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

  std::string dir_;
  std::string controlPath_;
  std::string logPath_;
  std::string display_;
  std::string xvfbDisplay_;
  pid_t xvfbPid_ = -1;
  pid_t doublePid_ = -1;
  int controlFd_ = -1;
};

} // namespace testing_support
