// The local or peer address of a TCP socket as texts: the numeric address
// (IPv6 bracketed, empty for a wildcard address), a host name given by the
// caller, the endpoint text, the port and the address family.
#pragma once

#include "plat/String.h"

namespace io {

struct AddressRecord {
  plat::String address;
  plat::String name;
  plat::String endpoint;
  int port = -1;
  int family = 0;

  // From getsockname() (peer false) or getpeername() (peer true); hostName
  // may be null. Failures throw plat::SystemException "getsockname",
  // "getpeername" or "getnameinfo".
  static AddressRecord fromSocket(int fd, bool peer, const char* hostName);
};

} // namespace io
