#include "net/SelectSocketManager.h"

#include "net/AddressChangeCallback.h"
#include "net/FdSocket.h"
#include "net/SocketListener.h"
#include "net/SocketServer.h"
#include "net/io/FdIo.h"
#include "net/io/FdListener.h"
#include "net/io/FdSelectManager.h"
#include "net/io/IoConnector.h"
#include "net/io/IoTarget.h"
#include "plat/Assert.h"
#include "plat/LogWriter.h"

static plat::LogWriter vlog("SelectSocketManager");

namespace net {

namespace {
SelectSocketManager* current = nullptr;
} // namespace

SocketManager::~SocketManager() = default;

SelectSocketManager::SelectSocketManager(io::FdManager* fdMgr_)
    : fdMgr(fdMgr_ ? fdMgr_ : new io::FdSelectManager()), previous(current) {
  current = this;
}

SelectSocketManager::~SelectSocketManager() {
  while (!sockets.empty()) {
    IoWrapper* w = *sockets.begin();
    try {
      w->closed(nullptr);
    } catch (plat::Exception& e) {
      vlog.error("%s", e.str());
    }
  }
  while (!listeners.empty())
    delete *listeners.begin();
  fdMgr.reset();
  if (current == this)
    current = previous;
}

SelectSocketManager* SelectSocketManager::instanceOrNull() {
  return current;
}

SelectSocketManager* SelectSocketManager::instance() {
  if (!current)
    throw plat::Exception("no SelectSocketManager");
  return current;
}

void SelectSocketManager::assertCurrent() const {
  PLAT_ASSERT(instanceOrNull() == this);
}

io::FdSelectManager* SelectSocketManager::getSelectManager() const {
  return dynamic_cast<io::FdSelectManager*>(fdMgr.get());
}

void SelectSocketManager::addSocket(Socket* socket, SocketServer* server, bool outgoing) {
  assertCurrent();
  FdSocket* s = socket->fdSocket();
  PLAT_ASSERT(s);
  std::unique_ptr<IoWrapper> w(new IoWrapper(s, server, this));
  vlog.debug("IoWrapper %p for %p", static_cast<void*>(w.get()), static_cast<void*>(socket));
  try {
    if (s->getIo()) {
      s->getIo()->setHandler(w.get(), true);
    } else {
      PLAT_ASSERT(s->ioTarget());
      w->connecting = s->ioTarget()->connect(w.get(), 0);
      s->setConnector(w->connecting);
    }
  } catch (plat::Exception&) {
    w->sock = nullptr; // the caller keeps the socket
    throw;
  }
  IoWrapper* registered = w.release();
  sockets.insert(registered);
  try {
    server->addSocket(socket, outgoing);
  } catch (plat::Exception&) {
    // The server did not take the socket: serve it no more and leave it with
    // the caller.
    unregister(registered);
    throw;
  }
}

void SelectSocketManager::unregister(IoWrapper* w) {
  if (w->sock->getIo()) {
    w->sock->getIo()->setHandler(nullptr, false);
  } else {
    io::IoConnector* connector = w->sock->ioConnector();
    PLAT_ASSERT(connector);
    w->sock->setConnector(nullptr);
    if (w->connecting == connector)
      w->connecting = nullptr;
    connector->cancel(false);
  }
  w->sock = nullptr;
  delete w;
}

void SelectSocketManager::removeSocket(Socket* socket) {
  assertCurrent();
  IoWrapper* w = nullptr;
  for (IoWrapper* candidate : sockets)
    if (candidate->sock == socket)
      w = candidate;
  if (!w)
    throw plat::Exception("Socket not registered");
  SocketServer* server = w->server;
  unregister(w);
  server->removeSocket(socket);
}

void SelectSocketManager::addListener(SocketListener* listener, SocketServer* server) {
  assertCurrent();
  ListenerWrapper* w = new ListenerWrapper(listener, server, this);
  vlog.debug("ListenerWrapper %p", static_cast<void*>(listener));
  listeners.insert(w);
  try {
    listener->setManager(this);
    listener->getFdListener()->setAcceptor(w);
  } catch (plat::Exception&) {
    delete w;
    throw;
  }
}

void SelectSocketManager::removeListener(SocketListener* listener) {
  assertCurrent();
  for (ListenerWrapper* w : listeners) {
    if (w->listener == listener) {
      delete w;
      return;
    }
  }
  throw plat::Exception("Listener not registered");
}

bool SelectSocketManager::setAddressChangeCallback(SocketListener* listener,
                                                   AddressChangeCallback* cb) {
  assertCurrent();
  for (ListenerWrapper* w : listeners) {
    if (w->listener == listener) {
      w->callback = cb;
      return listener->getFdListener()->setAddressChanged(w);
    }
  }
  return false;
}

void SelectSocketManager::flushAll() {
  assertCurrent();
  for (IoWrapper* w : sockets) {
    if (!w->sock->getIo())
      continue; // still connecting: nothing to write out yet
    try {
      w->sock->flush();
    } catch (plat::Exception&) {
    }
  }
}

SelectSocketManager::IoWrapper::IoWrapper(FdSocket* sock_, SocketServer* server_,
                                          SelectSocketManager* mgr_)
    : sock(sock_), server(server_), mgr(mgr_) {
}

SelectSocketManager::IoWrapper::~IoWrapper() {
  vlog.debug("~IoWrapper %p for %p", static_cast<void*>(this), static_cast<void*>(sock));
  mgr->sockets.erase(this);
  if (connecting) {
    // Nobody is left to tell of the attempt's end.
    if (sock && sock->ioConnector() == connecting)
      sock->setConnector(nullptr);
    connecting->cancel(false);
  }
  delete sock;
}

void SelectSocketManager::IoWrapper::readable(io::Io*) {
  server->socketReadable(sock);
}

void SelectSocketManager::IoWrapper::writable(io::Io*) {
  server->socketWritable(sock);
}

void SelectSocketManager::IoWrapper::closed(io::Io*) {
  // The wrapper and its socket go even when the server throws.
  std::unique_ptr<IoWrapper> self(this);
  server->removeSocket(sock);
}

void SelectSocketManager::IoWrapper::connected(io::IoConnector*, io::Io* io) {
  PLAT_ASSERT(io->asFdIo());
  connecting = nullptr; // it deletes itself after this call
  sock->setConnector(nullptr);
  sock->setIo(io);
  io->setHandler(this, true);
  server->socketConnected(sock);
}

void SelectSocketManager::IoWrapper::connectFailed(io::IoConnector* connector) {
  connecting = nullptr; // it deletes itself after this call
  try {
    connector->throwError();
  } catch (plat::SystemException& e) {
    sock->connectErrno = e.getErrno();
  } catch (plat::Exception&) {
  }
  sock->setConnector(nullptr);
  try {
    server->socketConnected(sock);
  } catch (plat::Exception&) {
    closed(nullptr);
    throw;
  }
  closed(nullptr);
}

void SelectSocketManager::IoWrapper::connectCancelled() {
  connecting = nullptr; // it deletes itself after this call
  closed(nullptr);
}

SelectSocketManager::ListenerWrapper::ListenerWrapper(SocketListener* listener_,
                                                      SocketServer* server_,
                                                      SelectSocketManager* mgr_)
    : listener(listener_), server(server_), mgr(mgr_) {
}

SelectSocketManager::ListenerWrapper::~ListenerWrapper() {
  mgr->listeners.erase(this);
  if (listener->getManager() == mgr)
    listener->setManager(nullptr);
  listener->getFdListener()->setAcceptor(nullptr);
  vlog.debug("~ListenerWrapper %p", static_cast<void*>(listener));
}

void SelectSocketManager::ListenerWrapper::accepted(io::Io* io, bool incoming) {
  std::unique_ptr<Socket> sock(listener->accept(io));
  if (!sock)
    return;
  mgr->addSocket(sock.get(), server, !incoming);
  sock.release();
}

void SelectSocketManager::ListenerWrapper::addressChanged(io::FdListener*) {
  if (callback)
    callback->addressChanged(listener);
}

} // namespace net
