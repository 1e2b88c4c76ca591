// The socket server of the loopback file-transfer stream: for each socket it
// frames the byte stream (version-4 framing, bulk output), gives the
// file-transfer extension a connection to read and write messages through,
// reads whole messages whenever the socket has data and lets the extension
// write when the socket can take output. Owns each socket's connection and
// framed streams from addSocket to removeSocket; the sockets belong to the
// socket manager and the extension is borrowed.
#pragma once

#include "ft/proxy/Extension.h"
#include "net/SocketServer.h"

#include <map>
#include <memory>

namespace rdr {
class InStreamV4;
class OutStreamV4;
} // namespace rdr

namespace ft {
namespace proxy {

class SocketServer : public net::SocketServer {
public:
  explicit SocketServer(Extension* extension);
  ~SocketServer() override;

  // The socket must own a descriptor channel (fatal check "io").
  void addSocket(net::Socket* sock, bool outgoing) override;
  void removeSocket(net::Socket* sock) override;
  // Handles every whole message that has arrived; a message still coming is
  // resumed at the next call. A malformed message closes the socket.
  void socketReadable(net::Socket* sock) override;
  void socketWritable(net::Socket* sock) override;

  // The connection of a socket, or nullptr.
  Extension::Connection* connectionOf(net::Socket* sock);

private:
  struct Entry {
    std::unique_ptr<Extension::Connection> connection;
    std::unique_ptr<rdr::InStreamV4> in;
    std::unique_ptr<rdr::OutStreamV4> out;
    rdr::InStream* underlying = nullptr;
    int readState = 0; // 0 between messages, 1 message started, 2 message handled
  };

  std::map<net::Socket*, Entry> entries;
  Extension* extension;
};

} // namespace proxy
} // namespace ft
