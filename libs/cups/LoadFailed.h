// Thrown when the printing system library, or one of its functions, cannot
// be bound: "failed to load %s" with the function's name.
#pragma once

#include "plat/Exception.h"

namespace cups {

class LoadFailed : public plat::ExceptionFmt {
public:
  explicit LoadFailed(const char* function) : plat::ExceptionFmt("failed to load %s", function) {}
};

} // namespace cups
