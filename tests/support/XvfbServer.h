// A private Xvfb on a free display (found by Xvfb itself through
// -displayfd), stopped by the destructor and dying with the test process.
// The screen ("1280x1024x24", "640x480x8", ...) and extra arguments (such as
// "-extension", "MIT-SHM") are the caller's; its log goes to logPath.
#pragma once

#include "ChildProcess.h"

#include <string>
#include <vector>

namespace testing_support {

class XvfbServer {
public:
  explicit XvfbServer(const std::string& screen = "1280x1024x24",
                      const std::vector<std::string>& extraArgs = {},
                      const std::string& logPath = "/dev/null") {
    std::vector<std::string> argv = {"Xvfb", "-displayfd", "3",   "-screen", "0",
                                     screen, "-nolisten",  "tcp", "-noreset"};
    argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
    int out = -1;
    pid_ = child::spawn(argv, &out, 3, logPath);
    try {
      number_ = child::trim(child::readLine(out));
    } catch (...) {
      close(out);
      child::stop(pid_);
      throw;
    }
    close(out);
    display_ = ":" + number_;
  }
  ~XvfbServer() { child::stop(pid_); }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // ":N" and "N".
  const std::string& display() const { return display_; }
  const std::string& number() const { return number_; }

private:
  pid_t pid_ = -1;
  std::string number_;
  std::string display_;
};

} // namespace testing_support
