// Asks the product's Internet test service whether a port of this computer can
// be reached from outside: one TCP connection to the service, one request
// naming the port, a two-line answer (the caller's address as the service saw
// it, then a verdict). The socket belongs to the socket manager once handed
// over; the test only closes it. The callback is not owned.
#pragma once

#include "net/SocketServer.h"
#include "plat/String.h"

#include <string>

namespace net {
class Socket;
class SocketManager;
} // namespace net

namespace zav {

class ConnectionTest : public net::SocketServer {
public:
  class Callback {
  public:
    virtual ~Callback() = default;
    // The answer is in (error null) or the test failed with that error text.
    virtual void testComplete(ConnectionTest* test, const char* error) = 0;
  };

  // The service's test host and its domain, as the program knows them.
  static const char* const testHost;
  static const char* const serviceDomain;
  static const int servicePort = 80;
  // How long start() waits for the connection before giving up.
  static const int defaultConnectTimeoutMs = 15000;
  // The longest answer line kept; longer lines go on in the next line.
  static const int maxLineLength = 1024;

  // host and port name the service (tests give a loopback stand-in).
  explicit ConnectionTest(net::SocketManager* mgr, const char* host = testHost,
                          int port = servicePort);
  ~ConnectionTest() override;
  ConnectionTest(const ConnectionTest&) = delete;
  ConnectionTest& operator=(const ConnectionTest&) = delete;

  // Stops a running test, connects (bounded by the connect time-out) and
  // sends the request for port. Connection and write failures are thrown;
  // a request to end the program leaves the connect's wait at once with
  // os::EndSignal::Ended.
  void start(int port, Callback* callback);
  // Abandons a running test without telling the callback.
  void stop();

  void setConnectTimeout(int ms) { connectTimeoutMs = ms; }
  bool isFinished() const { return finished; }
  bool isRunning() const { return socket != nullptr; }

  void addSocket(net::Socket*, bool) override {}
  void removeSocket(net::Socket* sock) override;
  void socketReadable(net::Socket* sock) override;

  // The first answer line; null until it is read.
  plat::String externalAddress;
  // The verdict line begins with '1'.
  bool reachable = false;

private:
  // Reads the next line; false when the stream ended at the line's start.
  bool readLine(std::string& line);
  void fail(const char* error);

  net::SocketManager* mgr;
  plat::String host;
  int port;
  int connectTimeoutMs = defaultConnectTimeoutMs;
  Callback* callback = nullptr;
  bool finished = true;
  net::Socket* socket = nullptr;
};

} // namespace zav
