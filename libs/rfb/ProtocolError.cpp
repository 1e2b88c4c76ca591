#include "rfb/ProtocolError.h"

#include <cstdio>

namespace rfb {

ProtocolError::ProtocolError(const char* format, ...) {
  char detail[maxLength + 1];
  va_list ap;
  va_start(ap, format);
  vsnprintf(detail, sizeof(detail), format, ap);
  va_end(ap);
  setMessageF("RFB protocol error: %s", detail);
}

} // namespace rfb
