#include "net/SelectSocketManager.h"

#include "CaptureLogger.h"
#include "NetLoop.h"
#include "net/SocketServer.h"
#include "net/TcpListener.h"
#include "net/TcpSocket.h"
#include "net/io/TcpListener.h"
#include "net/io/TcpTarget.h"
#include "plat/TimerManager.h"

#include <gtest/gtest.h>

#include <map>

using testing_support::ScopedCapture;

namespace {

// Echoes what every socket sends and records what the manager tells it.
class EchoServer : public net::SocketServer {
public:
  void addSocket(net::Socket* s, bool outgoing) override {
    if (throwOnAdd)
      throw plat::Exception("server refused the socket on purpose");
    added[s]++;
    outgoingAdds += outgoing;
  }
  void removeSocket(net::Socket* s) override {
    removed[s]++;
    if (throwOnRemove)
      throw plat::Exception("server failed to let go on purpose");
  }
  void socketReadable(net::Socket* s) override {
    if (throwOnRead)
      throw plat::Exception("server failed on purpose");
    io::FdIo* io = s->getIo()->asFdIo();
    rdr::FdInStream* in = io->getInStream();
    rdr::FdOutStream* out = io->getOutStream();
    in->checkpoint();
    while (in->avail() > 0 || in->overrun(false, 1)) {
      out->writeBytes(in->getptr(), in->avail());
      in->setPtr(in->getend());
      in->checkpoint();
    }
    out->flush();
  }
  void socketConnected(net::Socket* s) override {
    connected++;
    lastErrno = s->fdSocket()->connectErrno;
    if (throwOnConnected)
      throw plat::Exception("server failed on connecting on purpose");
  }

  std::map<net::Socket*, int> added, removed;
  int outgoingAdds = 0;
  int connected = 0;
  int lastErrno = 0;
  bool throwOnRead = false;
  bool throwOnAdd = false;
  bool throwOnRemove = false;
  bool throwOnConnected = false;
};

struct ManagerLoop {
  plat::TimerManager timers;
  net::SelectSocketManager mgr;
  int pass(int timeoutMs = 20) {
    timers.processTimers();
    return mgr.getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, timeoutMs);
  }
  bool runUntil(const std::function<bool()>& pred, int maxPasses = 500) {
    for (int i = 0; i < maxPasses && !pred(); i++)
      pass();
    return pred();
  }
};

TEST(SelectSocketManager, EchoServerServesSeveralClients) {
  EchoServer server;
  ManagerLoop loop;
  net::TcpListener listener(new io::TcpListener(0, AF_INET, true));
  loop.mgr.addListener(&listener, &server);
  int port = static_cast<io::TcpListener*>(listener.getFdListener())->getLocalAddress().port;
  std::vector<int> clients;
  for (int i = 0; i < 4; i++)
    clients.push_back(testing_support::connectLoopback(port));
  ASSERT_TRUE(loop.runUntil([&] { return server.added.size() == clients.size(); }));
  EXPECT_EQ(server.outgoingAdds, 0) << "accepted sockets are not outgoing";
  std::vector<std::string> sent, got(clients.size());
  for (size_t i = 0; i < clients.size(); i++) {
    sent.push_back("hello from client " + std::to_string(i) + std::string(i * 30000, 'e'));
    ASSERT_EQ(write(clients[i], sent[i].data(), sent[i].size()), ssize_t(sent[i].size()));
  }
  ASSERT_TRUE(loop.runUntil([&] {
    bool all = true;
    for (size_t i = 0; i < clients.size(); i++) {
      got[i] += testing_support::readNow(clients[i]);
      all = all && got[i].size() >= sent[i].size();
    }
    return all;
  }));
  EXPECT_EQ(got, sent);
  close(clients[0]);
  ASSERT_TRUE(loop.runUntil([&] { return server.removed.size() == 1; }));
  for (size_t i = 1; i < clients.size(); i++)
    close(clients[i]);
  loop.mgr.removeListener(&listener);
}

TEST(SelectSocketManager, DestroyingTheManagerTellsEachServerOnce) {
  EchoServer server;
  testing_support::SocketPair a, b, c;
  {
    ManagerLoop loop;
    for (testing_support::SocketPair* sp : {&a, &b, &c})
      loop.mgr.addSocket(new net::FdSocket(new io::FdIo(sp->take(0), true)), &server, false);
    loop.pass();
  }
  ASSERT_EQ(server.removed.size(), 3u);
  for (auto& r : server.removed)
    EXPECT_EQ(r.second, 1);
}

TEST(SelectSocketManager, ServerThatThrowsLosesThatSocketOnly) {
  ScopedCapture capture("FdManager", 0);
  EchoServer bad, good;
  bad.throwOnRead = true;
  ManagerLoop loop;
  testing_support::SocketPair a, b;
  net::Socket* badSock = new net::FdSocket(new io::FdIo(a.take(0), true));
  loop.mgr.addSocket(badSock, &bad, false);
  loop.mgr.addSocket(new net::FdSocket(new io::FdIo(b.take(0), true)), &good, false);
  ASSERT_EQ(write(a.fds[1], "x", 1), 1);
  ASSERT_EQ(write(b.fds[1], "y", 1), 1);
  ASSERT_TRUE(loop.runUntil([&] { return bad.removed.size() == 1; }));
  EXPECT_EQ(bad.removed.count(badSock), 1u);
  EXPECT_TRUE(capture.logger.contains("server failed on purpose"));
  std::string echoed;
  ASSERT_TRUE(loop.runUntil([&] {
    echoed += testing_support::readNow(b.fds[1]);
    return !echoed.empty();
  }));
  EXPECT_EQ(echoed, "y");
  EXPECT_TRUE(good.removed.empty());
}

TEST(SelectSocketManager, RemovingAPendingOutgoingSocketCancelsIt) {
  EchoServer server;
  ManagerLoop loop;
  io::TcpListener target(0, AF_INET, true);
  net::Socket* sock =
      new net::TcpSocket(new io::TcpTarget("127.0.0.1", target.getLocalAddress().port));
  loop.mgr.addSocket(sock, &server, true);
  EXPECT_EQ(server.outgoingAdds, 1);
  loop.mgr.removeSocket(sock);
  EXPECT_EQ(server.removed.count(sock), 1u);
  for (int i = 0; i < 5; i++)
    loop.pass(5);
  EXPECT_EQ(server.connected, 0) << "the attempt never reports";
  delete sock;
}

TEST(SelectSocketManager, OutgoingConnections) {
  EchoServer server;
  ManagerLoop loop;
  io::TcpListener up(0, AF_INET, true);
  int closedPort;
  {
    io::TcpListener gone(0, AF_INET, true);
    closedPort = gone.getLocalAddress().port;
  }
  net::Socket* ok = new net::TcpSocket(new io::TcpTarget("127.0.0.1", up.getLocalAddress().port));
  net::Socket* refused = new net::TcpSocket(new io::TcpTarget("127.0.0.1", closedPort));
  loop.mgr.addSocket(ok, &server, true);
  ASSERT_TRUE(loop.runUntil([&] { return server.connected == 1; }));
  EXPECT_EQ(server.lastErrno, 0);
  ASSERT_NE(ok->getIo(), nullptr);
  EXPECT_EQ(ok->peerEndpoint()->port(), up.getLocalAddress().port);
  loop.mgr.addSocket(refused, &server, true);
  ASSERT_TRUE(loop.runUntil([&] { return server.connected == 2; }));
  EXPECT_EQ(server.lastErrno, ECONNREFUSED);
  ASSERT_TRUE(loop.runUntil([&] { return server.removed.count(refused) == 1; }));
}

TEST(SelectSocketManager, ListenerAddedWhileAClientWaitsAcceptsAtOnce) {
  EchoServer server;
  ManagerLoop loop;
  net::TcpListener listener(new io::TcpListener(0, AF_INET, true));
  int client = testing_support::connectLoopback(
      static_cast<io::TcpListener*>(listener.getFdListener())->getLocalAddress().port);
  loop.mgr.addListener(&listener, &server);
  loop.pass(0);
  EXPECT_EQ(server.added.size(), 1u);
  loop.mgr.removeListener(&listener);
  EXPECT_THROW(loop.mgr.removeListener(&listener), plat::Exception);
  close(client);
}

TEST(SelectSocketManager, UnregisteredSocketsAndTheCurrentInstance) {
  EXPECT_THROW(net::SelectSocketManager::instance(), plat::Exception);
  ManagerLoop loop;
  EXPECT_EQ(net::SelectSocketManager::instance(), &loop.mgr);
  testing_support::SocketPair sp;
  net::FdSocket stray(new io::FdIo(sp.take(0), true));
  try {
    loop.mgr.removeSocket(&stray);
    FAIL();
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), "Socket not registered");
  }
  net::TcpListener l(new io::TcpListener(0, AF_INET, true));
  EXPECT_FALSE(loop.mgr.setAddressChangeCallback(&l, nullptr));
}

// A server that throws from addSocket has not taken the socket: the manager
// keeps nothing of it. Handed in directly, the caller keeps the socket;
// accepted from a listener, the connection is closed.
TEST(SelectSocketManager, SocketRefusedByItsServersAddSocketIsNotKept) {
  ScopedCapture capture("FdManager", 0);
  EchoServer server;
  server.throwOnAdd = true;
  {
    ManagerLoop loop;
    testing_support::SocketPair sp;
    net::FdSocket mine(new io::FdIo(sp.take(0), true));
    EXPECT_THROW(loop.mgr.addSocket(&mine, &server, false), plat::Exception);
    EXPECT_THROW(loop.mgr.removeSocket(&mine), plat::Exception) << "not registered";
    ASSERT_EQ(write(sp.fds[1], "x", 1), 1);
    loop.pass(0);
    EXPECT_EQ(mine.getIo()->asFdIo()->getInStream()->avail(), 0) << "nobody reads for it";

    net::TcpListener listener(new io::TcpListener(0, AF_INET, true));
    loop.mgr.addListener(&listener, &server);
    int client = testing_support::connectLoopback(
        static_cast<io::TcpListener*>(listener.getFdListener())->getLocalAddress().port);
    ASSERT_GE(client, 0);
    ASSERT_TRUE(loop.runUntil([&] { return capture.logger.contains("refused the socket"); }));
    loop.pass(0);
    char c;
    EXPECT_EQ(recv(client, &c, 1, MSG_DONTWAIT), 0) << "the accepted connection is closed";
    close(client);
    loop.mgr.removeListener(&listener);
  }
  EXPECT_TRUE(server.added.empty());
  EXPECT_TRUE(server.removed.empty());
}

// A server whose removeSocket throws still loses the socket: the wrapper and
// the socket go with the channel, and destroying the manager later touches
// neither.
TEST(SelectSocketManager, ServerThatThrowsFromRemoveSocketStillLosesIt) {
  ScopedCapture capture("FdManager", 0);
  EchoServer server;
  server.throwOnRemove = true;
  testing_support::SocketPair a, b;
  {
    ManagerLoop loop;
    loop.mgr.addSocket(new net::FdSocket(new io::FdIo(a.take(0), true)), &server, false);
    loop.mgr.addSocket(new net::FdSocket(new io::FdIo(b.take(0), true)), &server, false);
    close(a.take(1)); // the peer goes away: end of stream, then clean-up
    ASSERT_TRUE(loop.runUntil([&] { return server.removed.size() == 1; }));
    EXPECT_TRUE(capture.logger.contains("failed to let go"));
    loop.pass(0);
  }
  ASSERT_EQ(server.removed.size(), 2u) << "the other socket is removed with the manager";
  for (auto& r : server.removed)
    EXPECT_EQ(r.second, 1);
}

// A server that throws when told of the outcome of its outgoing connection
// loses the socket as any failing server does; the loop goes on and the
// connection attempt leaves nothing behind.
TEST(SelectSocketManager, ServerThatThrowsFromSocketConnectedLosesTheSocket) {
  ScopedCapture capture("TcpConnect", 0);
  ScopedCapture fdCapture("FdManager", 0);
  io::TcpListener up(0, AF_INET, true);
  int closedPort;
  {
    io::TcpListener gone(0, AF_INET, true);
    closedPort = gone.getLocalAddress().port;
  }
  struct Case {
    const char* name;
    int port;
    int err;
  } cases[] = {{"connected", up.getLocalAddress().port, 0}, {"refused", closedPort, ECONNREFUSED}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EchoServer server;
    server.throwOnConnected = true;
    ManagerLoop loop;
    net::Socket* sock = new net::TcpSocket(new io::TcpTarget("127.0.0.1", c.port));
    loop.mgr.addSocket(sock, &server, true);
    ASSERT_TRUE(loop.runUntil([&] { return server.removed.count(sock) == 1; }));
    EXPECT_EQ(server.connected, 1);
    EXPECT_EQ(server.lastErrno, c.err);
    loop.pass(0);
    EXPECT_EQ(server.removed.size(), 1u);
  }
}

// Closing a socket whose connection is still being made leaves the attempt
// to report its cancellation later; when the manager goes first, the attempt
// must go with it and never call back into the manager's remains.
TEST(SelectSocketManager, AttemptOfAClosedSocketGoesWithTheManager) {
  EchoServer server;
  io::TcpListener up(0, AF_INET, true);
  plat::TimerManager timers;
  {
    net::SelectSocketManager mgr;
    net::Socket* sock =
        new net::TcpSocket(new io::TcpTarget("127.0.0.1", up.getLocalAddress().port));
    mgr.addSocket(sock, &server, true);
    sock->close();
  }
  timers.processTimers();
  EXPECT_EQ(server.removed.size(), 1u);
  EXPECT_EQ(server.connected, 0);
}

// Endpoints asked for while the connection is still being made are missing;
// once it is made, the socket answers with the real ones.
TEST(SelectSocketManager, EndpointsAskedBeforeTheConnectionIsMadeAreLearntAfter) {
  EchoServer server;
  ManagerLoop loop;
  io::TcpListener up(0, AF_INET, true);
  const int port = up.getLocalAddress().port;
  net::Socket* sock = new net::TcpSocket(new io::TcpTarget("127.0.0.1", port));
  EXPECT_STREQ(sock->peerEndpoint()->address(false), "<bad address>");
  EXPECT_STREQ(sock->localEndpoint()->endpoint(false), "<bad endpoint>");
  loop.mgr.addSocket(sock, &server, true);
  ASSERT_TRUE(loop.runUntil([&] { return server.connected == 1; }));
  EXPECT_EQ(sock->peerEndpoint()->port(), port);
  EXPECT_STREQ(sock->peerEndpoint()->address(true), "127.0.0.1");
  EXPECT_STREQ(sock->localEndpoint()->address(true), "127.0.0.1");
}

// flushAll writes out what every connected socket holds; a socket whose
// connection is still being made has nothing to write out and is passed over.
TEST(SelectSocketManager, FlushAllPassesOverSocketsStillConnecting) {
  EchoServer server;
  ManagerLoop loop;
  io::TcpListener up(0, AF_INET, true);
  loop.mgr.addSocket(new net::TcpSocket(new io::TcpTarget("127.0.0.1", up.getLocalAddress().port)),
                     &server, true);
  testing_support::SocketPair sp;
  net::Socket* connected = new net::FdSocket(new io::FdIo(sp.take(0), true));
  loop.mgr.addSocket(connected, &server, false);
  connected->getIo()->asFdIo()->getOutStream()->writeBytes("pending", 7);
  loop.mgr.flushAll();
  EXPECT_EQ(testing_support::readNow(sp.fds[1]), "pending");
}

} // namespace

// A listener may go while the manager still serves it, or the manager may go
// first: either way nothing is left behind that points at the one gone, and
// the manager keeps serving the listeners that remain.
TEST(SelectSocketManager, ListenerDeletedWhileRegisteredLeavesNothingBehind) {
  for (bool listenerFirst : {true, false}) {
    SCOPED_TRACE(listenerFirst ? "listener goes first" : "manager goes first");
    EchoServer server;
    std::unique_ptr<net::TcpListener> gone(
        new net::TcpListener(new io::TcpListener(0, AF_INET, true)));
    std::unique_ptr<ManagerLoop> loop(new ManagerLoop);
    loop->mgr.addListener(gone.get(), &server);
    if (!listenerFirst) {
      loop.reset();
      gone.reset();
      continue;
    }
    gone.reset();
    net::TcpListener kept(new io::TcpListener(0, AF_INET, true));
    loop->mgr.addListener(&kept, &server);
    int client = testing_support::connectLoopback(
        static_cast<io::TcpListener*>(kept.getFdListener())->getLocalAddress().port);
    ASSERT_GE(client, 0);
    ASSERT_TRUE(loop->runUntil([&] { return server.added.size() == 1; }));
    EXPECT_FALSE(loop->mgr.setAddressChangeCallback(&kept, nullptr));
    loop->mgr.removeListener(&kept);
    loop.reset();
    close(client);
  }
}
