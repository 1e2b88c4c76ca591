// A socket on a Unix-domain channel.
#pragma once

#include "net/FdSocket.h"

namespace net {

class UnixSocket : public FdSocket {
public:
  explicit UnixSocket(io::Io* io) : FdSocket(io) {}
  virtual UnixSocket* asUnixSocket() { return this; }
};

} // namespace net
