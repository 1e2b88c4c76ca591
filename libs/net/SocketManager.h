// Serves sockets and listeners for their servers; the manager owns the
// sockets handed to it.
#pragma once

namespace net {

class AddressChangeCallback;
class Socket;
class SocketListener;
class SocketServer;

class SocketManager {
public:
  virtual ~SocketManager();
  virtual void addListener(SocketListener* listener, SocketServer* server) = 0;
  virtual void removeListener(SocketListener* listener) = 0;
  virtual void addSocket(Socket* sock, SocketServer* server, bool outgoing) = 0;
  virtual bool setAddressChangeCallback(SocketListener* listener, AddressChangeCallback* cb) = 0;
};

} // namespace net
