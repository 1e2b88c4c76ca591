// The directory part of a path: up to its last '/', a trailing '/' ignored;
// "/" for a path whose only '/' is the first character; "." without '/'.
#pragma once

#include "plat/String.h"

namespace plat {

class DirName {
public:
  explicit DirName(const char* path);
  const char* c_str() const { return dir_.c_str(); }

private:
  String dir_;
};

} // namespace plat
