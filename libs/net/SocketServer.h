// Told of the events of the sockets a socket manager serves for it.
#pragma once

namespace net {

class Socket;

class SocketServer {
public:
  virtual ~SocketServer();
  // The manager took the socket on; outgoing tells how it came about.
  virtual void addSocket(Socket* sock, bool outgoing) = 0;
  // The socket is about to go; the manager deletes it afterwards (or hands
  // it back to whoever removed it).
  virtual void removeSocket(Socket* sock) = 0;
  virtual void socketReadable(Socket* sock) = 0;
  virtual void socketWritable(Socket*) {}
  // An outgoing attempt finished; a failure is in connectErrno.
  virtual void socketConnected(Socket*) {}
};

} // namespace net
