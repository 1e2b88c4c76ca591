#include "zav/conntest/ConnectionTest.h"

#include "net/SelectSocketManager.h"
#include "net/SocketManager.h"
#include "net/TcpSocket.h"
#include "net/io/FdIo.h"
#include "net/io/TcpConnector.h"
#include "plat/Exception.h"
#include "plat/unix/EndSignal.h"
#include "rdr/Exception.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <poll.h>

namespace zav {

const char* const ConnectionTest::testHost = "nettest.halbrin.example";
const char* const ConnectionTest::serviceDomain = "halbrin.example";

namespace {

// Waits for a non-blocking connect until the deadline; the connect error,
// 0 when the connection stands. Throws os::EndSignal::Ended as soon as the
// program is asked to end.
int waitForConnect(io::FdIo* io, std::chrono::steady_clock::time_point deadline, const char* host) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left < 0)
      left = 0;
    struct pollfd pfds[2] = {{io->getFd(), POLLOUT, 0}, {os::EndSignal::fd(), POLLIN, 0}};
    int r = poll(pfds, pfds[1].fd >= 0 ? 2 : 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR)
      continue;
    if (r < 0)
      throw plat::SystemException("poll", errno);
    if (pfds[1].fd >= 0 && pfds[1].revents)
      throw os::EndSignal::Ended();
    if (r == 0)
      throw plat::ExceptionFmt("Timed out connecting to %s", host);
    return io->connectError();
  }
}

// Connects to host:port, trying its addresses one after the other as a
// blocking connect would, without letting silent peers hold the thread for
// longer than timeoutMs in all; returns the connected channel, owned by the
// caller. When every address fails, the last failure is thrown.
io::FdIo* connectWithin(const char* host, int port, int timeoutMs) {
  io::TcpConnector connector(nullptr, 0, host, port, 0);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    std::unique_ptr<io::FdIo> io(connector.tryNext(true));
    int err = waitForConnect(io.get(), deadline, host);
    if (err == 0)
      return io.release();
    if (!connector.hasNext())
      throw plat::SystemException("connect", err);
  }
}

} // namespace

ConnectionTest::ConnectionTest(net::SocketManager* mgr_, const char* host_, int port_)
    : mgr(mgr_), host(host_), port(port_) {
}

ConnectionTest::~ConnectionTest() {
  stop();
}

void ConnectionTest::start(int testPort, Callback* callback_) {
  if (!finished)
    stop();
  finished = false;
  externalAddress = plat::String();
  reachable = false;
  callback = callback_;

  io::FdIo* io = connectWithin(host.c_str(), port, connectTimeoutMs);
  std::unique_ptr<net::TcpSocket> sock(new net::TcpSocket(io));
  mgr->addSocket(sock.get(), this, true);
  socket = sock.release();

  char request[256];
  int n = std::snprintf(request, sizeof request,
                        "GET /cgi-bin/nettest.cgi?format=simple&port=%i\r\n"
                        "Host: %s\r\n"
                        "User-Agent: Zav Server 4\r\n"
                        "\r\n",
                        testPort, host.c_str());
  if (n < 0 || n >= static_cast<int>(sizeof request))
    throw plat::Exception("Connection test request too long");
  io::FdIo* fdIo = socket->getIo()->asFdIo();
  fdIo->getOutStream()->writeBytes(request, n);
  socket->fdSocket()->flush();
}

void ConnectionTest::stop() {
  net::Socket* s = socket;
  socket = nullptr;
  if (!s)
    return;
  // Taking the socket back from a select manager ends its service at once,
  // so the manager never calls on a test that is gone by its next pass.
  if (auto* selectMgr = dynamic_cast<net::SelectSocketManager*>(mgr)) {
    try {
      selectMgr->removeSocket(s);
    } catch (plat::Exception&) {
      s->close();
      return;
    }
    s->close();
    delete s;
    return;
  }
  s->close();
}

void ConnectionTest::removeSocket(net::Socket* sock) {
  if (sock == socket)
    socket = nullptr;
}

bool ConnectionTest::readLine(std::string& line) {
  rdr::InStream* in = socket->getIo()->asFdIo()->getInStream();
  line.clear();
  bool anyByte = false;
  while (line.size() < static_cast<size_t>(maxLineLength)) {
    std::uint8_t c;
    try {
      c = in->readU8();
    } catch (rdr::EndOfStream&) {
      return anyByte;
    }
    anyByte = true;
    if (c == '\r')
      continue;
    if (c == '\n')
      break;
    line.push_back(static_cast<char>(c));
  }
  return true;
}

void ConnectionTest::fail(const char* error) {
  Callback* cb = callback;
  stop();
  if (cb)
    cb->testComplete(this, error);
}

void ConnectionTest::socketReadable(net::Socket* sock) {
  if (sock != socket || finished)
    return;
  std::string line;
  while (!finished && socket && socket->getIo()) {
    try {
      if (!readLine(line))
        throw rdr::EndOfStream();
    } catch (rdr::BlockException&) {
      // The partial line is read again from its start when more has come.
      return;
    } catch (plat::Exception& e) {
      fail(e.str());
      return;
    }
    socket->getIo()->asFdIo()->getInStream()->checkpoint();
    if (externalAddress.isNull()) {
      externalAddress = plat::String(line.c_str());
      continue;
    }
    finished = true;
    reachable = !line.empty() && line[0] == '1';
    Callback* cb = callback;
    stop();
    if (cb)
      cb->testComplete(this, nullptr);
    return;
  }
}

} // namespace zav
