// Stand-ins of the desktop's opener programs for the tests: "xdg-open" and
// "gnome-open" scripts in a folder of their own that append a line to a log
// ("<name> <session id> <arguments>") and exit with the status written in
// "<name>.status" beside them (0 when there is none). While a file
// "<name>.hold" exists a script waits before it ends, like an opener that
// waits for the application it started.
#pragma once

#include "FileContents.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace ft_test {

class OpenerStubs {
public:
  explicit OpenerStubs(const std::string& dir) : dir_(dir) {}

  // Writes the script for name (made executable unless told otherwise).
  void add(const std::string& name, bool executable = true) const {
    std::string path = dir_ + "/" + name;
    std::ofstream out(path);
    // Shell built-ins only (and an absolute sleep): the tests run the
    // scripts with a search path that holds nothing else.
    out << "#!/bin/sh\n"
        << "me=${0##*/}\n"
        << "read -r pid comm state ppid pgrp sid rest < /proc/$$/stat\n"
        << "echo \"$me $sid $*\" >> '" << log() << "'\n"
        << "while [ -e '" << dir_ << "/'$me.hold ]; do /usr/bin/sleep 0.02; done\n"
        << "if [ -e '" << dir_ << "/'$me.status ]; then read -r st < '" << dir_
        << "/'$me.status; exit $st; fi\n"
        << "exit 0\n";
    out.close();
    chmod(path.c_str(), executable ? 0755 : 0644);
  }
  void setStatus(const std::string& name, int status) const {
    std::ofstream(dir_ + "/" + name + ".status") << status << "\n";
  }
  void hold(const std::string& name, bool on) const {
    std::string path = dir_ + "/" + name + ".hold";
    if (on)
      std::ofstream{path};
    else
      unlink(path.c_str());
  }
  void remove(const std::string& name) const { unlink((dir_ + "/" + name).c_str()); }

  std::string log() const { return dir_ + "/opened.log"; }
  std::string logText() const {
    struct stat st;
    return stat(log().c_str(), &st) == 0 ? testing_support::readFile(log()) : std::string();
  }
  const std::string& dir() const { return dir_; }

private:
  std::string dir_;
};

} // namespace ft_test
