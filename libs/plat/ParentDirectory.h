// The parent of a path, keeping its trailing '/': /home/user/file gives
// /home/user/, /home gives /, a/b/ gives a/.
#pragma once

#include "plat/Exception.h"
#include "plat/String.h"

namespace plat {

class ParentDirectory {
public:
  // A path without any '/' before its last character.
  class NotAPath : public Exception {
  public:
    explicit NotAPath(const char* path) { setMessageF("NotAPath: %s", path); }
  };
  // The path "/" itself.
  class PathIsRoot : public Exception {
  public:
    explicit PathIsRoot(const char* path) { setMessageF("PathIsRoot: %s", path); }
  };

  // A null path throws plat::AssertionFail "path != 0".
  explicit ParentDirectory(const char* path);
  const char* c_str() const { return parent_.c_str(); }
  bool isRoot() const { return isRoot_; }

private:
  String parent_;
  bool isRoot_ = false;
};

} // namespace plat
