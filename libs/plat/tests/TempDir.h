// A fresh temporary directory for one test, removed with its contents when
// the object goes.
#pragma once

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace testing_support {

class TempDir {
public:
  TempDir() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zavtest.XXXXXX";
    char* made = mkdtemp(pattern.data());
    if (!made)
      ADD_FAILURE() << "mkdtemp failed";
    else
      path_ = made;
  }
  ~TempDir() {
    if (!path_.empty()) {
      std::string cmd = "rm -rf '" + path_ + "'";
      if (system(cmd.c_str()) != 0)
        ADD_FAILURE() << "could not remove " << path_;
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

} // namespace testing_support
