// A temporary directory for one test, removed with everything in it when the
// test ends.
#pragma once

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace testing_support {

class ScratchDir {
public:
  ScratchDir() {
    std::string tmpl =
        std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/zavtest.XXXXXX";
    if (!mkdtemp(&tmpl[0]))
      throw std::runtime_error("mkdtemp");
    path_ = tmpl;
  }
  ~ScratchDir() {
    std::string cmd = "rm -rf '" + path_ + "'";
    if (system(cmd.c_str()) != 0) {
      // Nothing more to do: the directory lies under the temporary area.
    }
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

} // namespace testing_support
