// The socket manager of the thread that waits with select(): it owns a
// descriptor manager, adapts every socket to a channel handler and every
// listener to an acceptor, and turns channel events into calls on each
// socket's server. The manager constructed last is the current one. It owns
// the sockets added to it; listeners and servers stay with their owners.
#pragma once

#include "net/SocketManager.h"
#include "net/io/FdAddressChanged.h"
#include "net/io/IoAcceptor.h"
#include "net/io/IoConnected.h"
#include "net/io/IoHandler.h"

#include <memory>
#include <set>

namespace io {
class FdManager;
class FdSelectManager;
} // namespace io

namespace net {

class FdSocket;

class SelectSocketManager : public SocketManager {
public:
  // Creates its own select manager when none is given; takes ownership of
  // the given one.
  explicit SelectSocketManager(io::FdManager* fdMgr = nullptr);
  // Every managed socket's server hears removeSocket once and the socket is
  // deleted; then the descriptor manager goes.
  ~SelectSocketManager() override;

  // The current instance; instance() throws "no SelectSocketManager".
  static SelectSocketManager* instanceOrNull();
  static SelectSocketManager* instance();

  void addListener(SocketListener* listener, SocketServer* server) override;
  void removeListener(SocketListener* listener) override;
  // Takes the socket over; an outgoing socket without a channel starts
  // connecting to its target. When the socket cannot be served the
  // exception passes on and the caller keeps the socket.
  void addSocket(Socket* sock, SocketServer* server, bool outgoing) override;
  // Serves the socket no more and hands it back to the caller.
  void removeSocket(Socket* sock);
  bool setAddressChangeCallback(SocketListener* listener, AddressChangeCallback* cb) override;
  // Writes out everything buffered on every connected socket, waiting.
  void flushAll();

  io::FdManager* getFdManager() const { return fdMgr.get(); }
  // The descriptor manager as a select manager, or null.
  io::FdSelectManager* getSelectManager() const;

private:
  class IoWrapper : public io::IoHandler, public io::IoConnected {
  public:
    IoWrapper(FdSocket* sock, SocketServer* server, SelectSocketManager* mgr);
    ~IoWrapper() override;
    void readable(io::Io* io) override;
    void writable(io::Io* io) override;
    void closed(io::Io* io) override;
    void connected(io::IoConnector* connector, io::Io* io) override;
    void connectFailed(io::IoConnector* connector) override;
    void connectCancelled() override;

    FdSocket* sock;
    SocketServer* server;
    SelectSocketManager* mgr;
    // The connection attempt that reports to this wrapper, until it has
    // reported; it may outlive its socket's interest after a close().
    io::IoConnector* connecting = nullptr;
  };

  class ListenerWrapper : public io::IoAcceptor, public io::FdAddressChanged {
  public:
    ListenerWrapper(SocketListener* listener, SocketServer* server, SelectSocketManager* mgr);
    ~ListenerWrapper() override;
    void accepted(io::Io* io, bool incoming) override;
    void addressChanged(io::FdListener* l) override;

    SocketListener* listener;
    SocketServer* server;
    AddressChangeCallback* callback = nullptr;
    SelectSocketManager* mgr;
  };

  void assertCurrent() const;
  // Detaches the wrapper's socket from the descriptor manager (or cancels
  // its connection attempt) and deletes the wrapper; the socket stays.
  void unregister(IoWrapper* w);

  std::set<ListenerWrapper*> listeners;
  std::set<IoWrapper*> sockets;
  std::unique_ptr<io::FdManager> fdMgr;
  SelectSocketManager* previous;
};

} // namespace net
