// A private temporary directory for one test (under $TMPDIR or /tmp), removed
// with everything in it, read-only entries included, when the object goes.
#pragma once

#include <cstdlib>
#include <ftw.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace testing_support {

class TempDir {
public:
  TempDir() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zavtest.XXXXXX";
    if (!mkdtemp(pattern.data()))
      throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = pattern;
  }
  ~TempDir() {
    nftw(
        path_.c_str(),
        [](const char* p, const struct stat*, int type, struct FTW*) {
          // A link is removed as itself: chmod would follow it and change
          // what it points to (a test's link to /dev/null, say).
          if (type != FTW_SL && type != FTW_SLN)
            chmod(p, 0700);
          return remove(p);
        },
        16, FTW_DEPTH | FTW_PHYS);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  std::string operator/(const std::string& name) const { return file(name); }

private:
  std::string path_;
};

} // namespace testing_support
