// A connection as the program's connection code sees it: it owns its channel
// (null for an outgoing socket not yet connected) and answers questions about
// its endpoints. A socket manager takes over sockets handed to it.
#pragma once

namespace io {
class Io;
}

namespace net {

class EndpointInfo;
class FdSocket;
class TcpSocket;

class Socket {
public:
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  virtual ~Socket();

  virtual FdSocket* fdSocket() { return nullptr; }
  virtual TcpSocket* asTcpSocket() { return nullptr; }
  // Closes after writing out what is buffered.
  virtual void shutdown();
  // Closes at once.
  virtual void close();
  virtual EndpointInfo* localEndpoint() = 0;
  virtual EndpointInfo* peerEndpoint() = 0;
  virtual void setTimeout(int ms);

  io::Io* getIo() const { return io; }
  // Set by a filter's query rule: the connection goes on only after the
  // desktop user approves it.
  bool requiresQuery = false;

protected:
  explicit Socket(io::Io* io_) : io(io_) {}
  // Cancels a pending connection attempt; keepCallback as for the connector.
  virtual void cancelConnect(bool keepCallback);
  // Closes the channel: the manager deletes a served one, an unserved one
  // goes at once.
  void closeIo(bool flush, bool tellHandler);

  io::Io* io;
};

} // namespace net
