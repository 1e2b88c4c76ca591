// Turns the channels a listening descriptor accepts into sockets, keeping
// only those its connection filter (borrowed, may be null) accepts. Owns the
// listening descriptor object.
#pragma once

#include <memory>

namespace io {
class FdListener;
class Io;
} // namespace io

namespace net {

class ConnectionFilter;
class Socket;
class SocketManager;

class SocketListener {
public:
  // Takes ownership of listener.
  SocketListener(io::FdListener* listener, ConnectionFilter* filter = nullptr);
  // Leaves the manager that serves it, if any.
  virtual ~SocketListener();
  SocketListener(const SocketListener&) = delete;
  SocketListener& operator=(const SocketListener&) = delete;

  // A socket for io, or for one pending connection when io is null; null
  // when none is pending or the filter refused it (the refused socket is
  // deleted). The caller owns the result.
  virtual Socket* accept(io::Io* io = nullptr);

  io::FdListener* getFdListener() const { return listener.get(); }
  void setFilter(ConnectionFilter* f) { filter = f; }
  // The manager serving this listener, kept by that manager so that the
  // listener can leave it when destroyed; null when none serves it.
  void setManager(SocketManager* m) { manager = m; }
  SocketManager* getManager() const { return manager; }

protected:
  // The channel as a socket, kept or refused.
  Socket* wrapAndFilter(io::Io* io, bool ask);

  std::unique_ptr<io::FdListener> listener;
  ConnectionFilter* filter;

private:
  SocketManager* manager = nullptr;
};

// A socket for a channel, which it takes over: TCP, Unix or plain
// descriptor.
Socket* wrapIo(io::Io* io);

} // namespace net
