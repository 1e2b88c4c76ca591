// A socket listener on a TCP listening socket. The address filter holds IPv4
// rules, so it is asked about connections on an IPv4 listener, and on an IPv6
// listener about clients that arrive as IPv4-mapped addresses (a listener
// that could not be made IPv6-only), so that nobody bypasses it.
#pragma once

#include "net/SocketListener.h"

namespace io {
class TcpListener;
}

namespace net {

class TcpListener : public SocketListener {
public:
  // Takes ownership of listener.
  TcpListener(io::TcpListener* listener, ConnectionFilter* filter = nullptr);

  Socket* accept(io::Io* io = nullptr) override;
};

} // namespace net
