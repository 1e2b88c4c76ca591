// A GSS-API call failed: the operation's name and the texts of the major and
// minor statuses.
#pragma once

#include "plat/Exception.h"

namespace gssapi {

class Error : public plat::Exception {
public:
  explicit Error(const char* text) : plat::Exception(text) {}
};

} // namespace gssapi
