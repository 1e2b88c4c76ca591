// Thrown for a local file that is neither a directory nor a regular file
// (a pipe, socket or device), which a share leaves out: "%s is a special file".
#pragma once

#include "plat/Exception.h"

namespace ft {

class SpecialFileException : public plat::ExceptionFmt {
public:
  explicit SpecialFileException(const char* name)
      : plat::ExceptionFmt("%s is a special file", name) {}
};

} // namespace ft
