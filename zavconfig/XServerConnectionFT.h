// The loopback file-transfer stream from the virtual X server: it owns the
// file-transfer extension, the file-transfer manager on it (uploads, and a
// download manager per connection) and the socket server that carries the
// extension's messages on the stream. Built and owned by the main program,
// which connects it with its socket manager and serves the stream in its
// loop; destroy it only after the socket manager has let the stream go.
#pragma once

#include "ft/proxy/Extension.h"
#include "ft/proxy/SocketServer.h"
#include "ft/unix/UnixFileTransferManager.h"
#include "zavconfig/XServerConnection.h"

namespace zavconfig {

class XServerConnectionFT : public XServerConnection {
public:
  XServerConnectionFT();
  ~XServerConnectionFT() override;

  // Sends the file-transfer stream request; throws plat::Exception "Can't
  // establish file transfer connection to X Server" when it is refused.
  bool request(Display* dpy, int port, std::uint32_t cookie) override;

  ft::proxy::Extension* getExtension() { return &extension; }
  ft::UnixFileTransferManager* getManager() { return &manager; }
  ft::proxy::SocketServer* getSocketServer() { return &server; }

protected:
  const char* what() const override { return "file transfer"; }

private:
  ft::proxy::Extension extension;
  ft::UnixFileTransferManager manager;
  ft::proxy::SocketServer server;
};

} // namespace zavconfig
