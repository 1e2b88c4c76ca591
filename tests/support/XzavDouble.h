// Starts a private Xvfb on a free display and, in front of it, the stand-in of
// the virtual X server's extension (tests/xzav/xzav_double.py); both are
// stopped by the destructor, and die with the test process if it dies first.
// Gives the display name, a control channel (one JSON line per command, one
// JSON line back) and the log of decoded requests.
#pragma once

#include "ChildProcess.h"
#include "XvfbServer.h"

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
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

class XzavDouble {
public:
  // stateFile: a JSON file of the initial state (as the demo gives it), or
  // empty for the stand-in's own.
  explicit XzavDouble(const std::string& stateFile = "") : stateFile_(stateFile) {
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
    std::string answer = child::readLine(controlFd_);
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

  // The X server goes away, as at the end of a desktop session: the stand-in
  // and its Xvfb end, closing every client's connection. The folder stays
  // until the object goes.
  void endServer() {
    if (controlFd_ >= 0)
      close(controlFd_);
    controlFd_ = -1;
    child::stop(doublePid_);
    doublePid_ = -1;
    xvfb_.reset();
  }

private:
  void start() {
    xvfb_.reset(new XvfbServer("1280x1024x24", {}, dir_ + "/xvfb.log"));
    xvfbDisplay_ = xvfb_->display();

    int out = -1;
    std::string script = std::string(ZAV_SOURCE_DIR) + "/tests/xzav/xzav_double.py";
    std::vector<std::string> args = {"python3",   script,       "--xvfb-display", xvfb_->number(),
                                     "--control", controlPath_, "--log",          logPath_};
    if (!stateFile_.empty())
      args.insert(args.end(), {"--state", stateFile_});
    doublePid_ = child::spawn(args, &out, 1);
    std::string ready = child::readLine(out);
    close(out);
    // "READY :M <control path>"
    if (ready.compare(0, 6, "READY ") != 0)
      throw std::runtime_error("double did not start: " + ready);
    display_ = ready.substr(6, ready.find(' ', 6) - 6);
  }

  void shutdown() {
    endServer();
    std::string cmd = "rm -rf '" + dir_ + "'";
    if (system(cmd.c_str()) != 0)
      fprintf(stderr, "could not remove %s\n", dir_.c_str());
  }

  std::string stateFile_;
  std::string dir_;
  std::string controlPath_;
  std::string logPath_;
  std::string display_;
  std::string xvfbDisplay_;
  std::unique_ptr<XvfbServer> xvfb_;
  pid_t doublePid_ = -1;
  int controlFd_ = -1;
};

} // namespace testing_support
