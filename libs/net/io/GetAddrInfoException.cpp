#include "net/io/GetAddrInfoException.h"

#include "plat/LogWriter.h"

#include <netdb.h>

static plat::LogWriter vlog("GetAddrInfoException");

namespace io {

GetAddrInfoException::GetAddrInfoException(int code) {
  setError(code);
  setMessageF("%s: '%s' (%d)", "getaddrinfo", gai_strerror(code), code);
}

} // namespace io
