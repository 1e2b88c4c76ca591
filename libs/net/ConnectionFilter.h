// Decides whether a listener keeps an accepted socket; it may mark the socket
// as needing the desktop user's approval.
#pragma once

namespace net {

class Socket;

class ConnectionFilter {
public:
  virtual ~ConnectionFilter();
  virtual bool verifyConnection(Socket* s) = 0;
};

} // namespace net
