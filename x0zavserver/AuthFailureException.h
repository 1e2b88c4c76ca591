// The name or the password was not accepted. Thrown by the password
// verifiers and carried across the co-process channel as reply code 1.
#pragma once

#include "plat/Exception.h"

namespace rfb {

class AuthFailureException : public plat::Exception {
public:
  explicit AuthFailureException(const char* text) : plat::Exception(text) {}
};

} // namespace rfb
