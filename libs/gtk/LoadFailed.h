// Thrown by a wrapper of the desktop toolkit libraries whose library or
// function could not be bound: "failed to load <symbol text>".
#pragma once

#include "plat/Exception.h"

namespace gtk {

class LoadFailed : public plat::Exception {
public:
  explicit LoadFailed(const char* symbolText);
};

} // namespace gtk
