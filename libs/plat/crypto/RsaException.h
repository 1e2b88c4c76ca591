// The failures of the RSA code: a key that cannot be used, an RSA operation
// that libcrypto refused, a key pair that does not belong together.
#pragma once

#include "plat/Exception.h"

namespace crypto {

class RsaException : public plat::Exception {
public:
  explicit RsaException(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

} // namespace crypto
