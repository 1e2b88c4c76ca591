#include "ft/proxy/SocketServer.h"

#include "net/Socket.h"
#include "net/io/FdIo.h"
#include "plat/Assert.h"
#include "plat/LogWriter.h"
#include "rdr/Exception.h"
#include "rdr/InStreamV4.h"
#include "rdr/OutStreamV4.h"

#include <exception>

static plat::LogWriter vlog("FTSocketServer");

namespace ft {
namespace proxy {

SocketServer::SocketServer(Extension* extension_) : extension(extension_) {
}

SocketServer::~SocketServer() = default;

Extension::Connection* SocketServer::connectionOf(net::Socket* sock) {
  auto it = entries.find(sock);
  return it == entries.end() ? nullptr : it->second.connection.get();
}

void SocketServer::addSocket(net::Socket* sock, bool) {
  io::FdIo* io = sock->getIo() ? sock->getIo()->asFdIo() : nullptr;
  PLAT_ASSERT_MSG(io, "io");
  Entry& entry = entries[sock];
  entry.underlying = io->getInStream();
  entry.in.reset(new rdr::InStreamV4(io->getInStream()));
  entry.out.reset(new rdr::OutStreamV4(io->getOutStream(), true));
  entry.readState = 0;
  entry.connection.reset(new Extension::Connection(entry.out.get()));
  extension->extensionEnabled(entry.connection.get(), extension->getName());
  ConnectionId id = Extension::idOf(entry.connection.get());
  extension->getUploadManager(id);
  extension->getDownloadManager(id);
}

void SocketServer::removeSocket(net::Socket* sock) {
  auto it = entries.find(sock);
  if (it == entries.end()) {
    vlog.error("removeSocket on unknown socket");
    return;
  }
  Extension::Connection* connection = it->second.connection.get();
  extension->extensionDisabled(connection, extension->getName());
  extension->closeConnection(connection);
  entries.erase(it);
}

void SocketServer::socketReadable(net::Socket* sock) {
  auto it = entries.find(sock);
  if (it == entries.end()) {
    vlog.error("socketReadable on unknown socket");
    return;
  }
  Entry& entry = it->second;
  try {
    for (;;) {
      if (entry.readState == 0) {
        entry.in->startMsg();
        entry.readState = 1;
      }
      if (entry.readState == 1) {
        if (!extension->readMsg(entry.in.get(), entry.connection.get()))
          return;
        entry.in->checkpoint();
        entry.readState = 2;
      }
      entry.in->skipToEndOfMsg();
      entry.in->endMsg();
      entry.readState = 0;
      if (entry.underlying->avail() == 0 && !entry.underlying->overrun(false, 1))
        return;
    }
  } catch (rdr::BlockException&) {
    // The rest of the message comes with a later readable event.
  } catch (plat::Exception& e) {
    vlog.status("readMsg: %s", e.str());
    sock->close();
  } catch (std::exception& e) {
    // Out of memory, say: the stream goes, the program stays.
    vlog.error("readMsg: %s", e.what());
    sock->close();
  }
}

void SocketServer::socketWritable(net::Socket* sock) {
  auto it = entries.find(sock);
  if (it == entries.end()) {
    vlog.error("socketWritable on unknown socket");
    return;
  }
  try {
    extension->checkOutput(it->second.connection.get());
  } catch (std::exception& e) {
    vlog.error("checkOutput: %s", e.what());
    sock->close();
  }
}

} // namespace proxy
} // namespace ft
