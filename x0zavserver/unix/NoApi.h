// A GSS-API library lacks one of the functions the module binds; the message
// is the dynamic linker's.
#pragma once

#include "plat/Exception.h"

namespace gssapi {

class NoApi : public plat::Exception {
public:
  explicit NoApi(const char* text) : plat::Exception(text) {}
};

} // namespace gssapi
