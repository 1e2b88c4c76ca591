#include "plat/crypto/RsaException.h"

namespace crypto {

RsaException::RsaException(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  setMessageV(format, ap);
  va_end(ap);
}

} // namespace crypto
