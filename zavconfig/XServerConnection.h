// A private loopback stream from the virtual X server: the program listens on
// a loopback port the system chooses, asks the server (through an extension
// request that the kind supplies) to connect there and present a random
// cookie, and hands the authenticated stream to the socket manager, with an
// inner socket server behind it that gets every event of the stream. The
// main loop owns the socket manager and serves the stream; this object
// borrows the manager, the display and the inner server, and must outlive
// the stream (the manager reports the stream's removal to it).
#pragma once

#include "net/SocketServer.h"

#include <cstddef>
#include <cstdint>

typedef struct _XDisplay Display;

namespace net {
class SocketManager;
}

namespace zavconfig {

class XServerConnection : public net::SocketServer {
public:
  // How long connect waits for the server's connection with the right
  // cookie.
  static constexpr int defaultTimeoutMs = 10000;
  // Connections that may wait at once to present the cookie.
  static constexpr std::size_t maxPending = 32;

  explicit XServerConnection(net::SocketServer* inner);
  ~XServerConnection() override;

  // Listens, asks the server to connect back and waits (at most timeoutMs)
  // for a connection that presents the cookie; connections with a wrong
  // cookie are closed and the wait goes on, and beyond maxPending waiting
  // at once the oldest is closed. Connections are read side by
  // side, so one that sends too little holds up none of the others. The
  // stream is then served by manager, with this object as its server. Throws
  // plat::Exception when the request is refused, nothing arrives in time or
  // the listener fails, and os::EndSignal::Ended as soon as the program is
  // asked to end.
  void connect(Display* dpy, net::SocketManager* manager, int timeoutMs = defaultTimeoutMs);

  // Asks the server to connect to port and present cookie; throws
  // plat::Exception when the server refuses.
  virtual bool request(Display* dpy, int port, std::uint32_t cookie) = 0;

  // net::SocketServer: every event goes to the inner server.
  void addSocket(net::Socket* sock, bool outgoing) override;
  void removeSocket(net::Socket* sock) override;
  void socketReadable(net::Socket* sock) override;
  void socketWritable(net::Socket* sock) override;
  void socketConnected(net::Socket* sock) override;

  // The cookie while a connection is awaited, else 0.
  std::uint32_t getCookie() const { return cookie; }

protected:
  // The kind of stream, for messages ("file transfer", "chat").
  virtual const char* what() const = 0;

private:
  net::SocketServer* inner;
  std::uint32_t cookie = 0;
};

} // namespace zavconfig
