// A failed name resolution: "getaddrinfo: '<resolver's text>' (<code>)".
#pragma once

#include "plat/Exception.h"

namespace io {

class GetAddrInfoException : public plat::SystemException {
public:
  explicit GetAddrInfoException(int code);
};

} // namespace io
