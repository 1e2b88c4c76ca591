#include "net/TcpListener.h"

#include "NetLoop.h"
#include "net/TcpFilter.h"
#include "net/TcpSocket.h"
#include "net/io/TcpListener.h"

#include <gtest/gtest.h>

#include <memory>
#include <netinet/in.h>

namespace {

int localPort(net::SocketListener& l) {
  return static_cast<io::TcpListener*>(l.getFdListener())->getLocalAddress().port;
}

TEST(TcpListener, WithoutFilterEverySocketIsReturned) {
  net::TcpListener l(new io::TcpListener(0, AF_INET, true));
  EXPECT_EQ(l.accept(), nullptr) << "nothing pending";
  int client = testing_support::connectLoopback(localPort(l));
  std::unique_ptr<net::Socket> s(l.accept());
  ASSERT_NE(s, nullptr);
  ASSERT_NE(s->asTcpSocket(), nullptr);
  struct sockaddr_in sa;
  socklen_t len = sizeof sa;
  getsockname(client, reinterpret_cast<struct sockaddr*>(&sa), &len);
  std::string want = "127.0.0.1::" + std::to_string(ntohs(sa.sin_port));
  EXPECT_STREQ(s->peerEndpoint()->endpoint(false), want.c_str());
  EXPECT_STREQ(s->peerEndpoint()->address(true), "127.0.0.1");
  EXPECT_EQ(s->localEndpoint()->port(), localPort(l));
  close(client);
}

TEST(TcpListener, IPv4ListenerAsksTheFilter) {
  net::TcpFilter rejectAll("-0.0.0.0/0"), query("?127.0.0.1");
  net::TcpListener l(new io::TcpListener(0, AF_INET, true), &rejectAll);
  int c1 = testing_support::connectLoopback(localPort(l));
  EXPECT_EQ(l.accept(), nullptr) << "refused and deleted";
  char byte;
  EXPECT_EQ(read(c1, &byte, 1), 0) << "the refused connection was closed";
  l.setFilter(&query);
  int c2 = testing_support::connectLoopback(localPort(l));
  std::unique_ptr<net::Socket> s(l.accept());
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(s->requiresQuery);
  close(c1);
  close(c2);
}

TEST(TcpListener, IPv6ListenerIsNotFilteredForIPv6Clients) {
  if (!testing_support::haveIPv6Loopback())
    GTEST_SKIP() << "no IPv6 loopback address (::1) on this machine";
  net::TcpFilter rejectAll("-0.0.0.0/0");
  net::TcpListener l(new io::TcpListener(0, AF_INET6, true), &rejectAll);
  int client = socket(AF_INET6, SOCK_STREAM, 0);
  struct sockaddr_in6 sa = {};
  sa.sin6_family = AF_INET6;
  sa.sin6_addr = in6addr_loopback;
  sa.sin6_port = htons(static_cast<uint16_t>(localPort(l)));
  ASSERT_EQ(connect(client, reinterpret_cast<struct sockaddr*>(&sa), sizeof sa), 0);
  std::unique_ptr<net::Socket> s(l.accept());
  EXPECT_NE(s, nullptr);
  close(client);
}

// An IPv6 listener that is not IPv6-only sees IPv4 clients as mapped
// addresses; the IPv4 rules still apply to them.
TEST(TcpListener, MappedIPv4ClientsOfAnIPv6ListenerAreFiltered) {
  int fd = socket(AF_INET6, SOCK_STREAM, 0);
  if (fd < 0)
    GTEST_SKIP() << "no IPv6 on this machine";
  int off = 0;
  setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
  struct sockaddr_in6 sa = {};
  sa.sin6_family = AF_INET6;
  sa.sin6_addr = in6addr_any;
  if (bind(fd, reinterpret_cast<struct sockaddr*>(&sa), sizeof sa) < 0) {
    close(fd);
    GTEST_SKIP() << "cannot bind the IPv6 wildcard address";
  }
  net::TcpFilter filter("-127.0.0.0/8,+0.0.0.0/0");
  net::TcpListener l(new io::TcpListener(0, AF_INET6, false, fd), &filter);
  int client = testing_support::connectLoopback(localPort(l));
  ASSERT_GE(client, 0);
  EXPECT_EQ(l.accept(), nullptr) << "the IPv4 reject rule applies";
  close(client);
}

TEST(TcpListener, PlainDescriptorSocketHasNoEndpointData) {
  testing_support::SocketPair sp;
  std::unique_ptr<net::Socket> s(net::wrapIo(new io::FdIo(sp.take(0), true)));
  ASSERT_EQ(s->asTcpSocket(), nullptr);
  EXPECT_EQ(s->peerEndpoint()->port(), -1);
  EXPECT_STREQ(s->peerEndpoint()->address(true), "");
  EXPECT_STREQ(s->localEndpoint()->endpoint(true), "");
}

TEST(TcpListener, UnconnectedTcpSocketReportsMissingEndpoints) {
  net::TcpSocket s(static_cast<io::IoTarget*>(nullptr));
  net::EndpointInfo* peer = s.peerEndpoint();
  EXPECT_STREQ(peer->address(false), "<bad address>");
  EXPECT_STREQ(peer->endpoint(false), "<bad endpoint>");
  struct Case {
    const char* message;
    void (*call)(net::EndpointInfo*);
  } cases[] = {
      {"address() failed", [](net::EndpointInfo* e) { e->address(true); }},
      {"port() failed", [](net::EndpointInfo* e) { e->port(); }},
      {"name() failed", [](net::EndpointInfo* e) { e->name(); }},
      {"endpoint() failed", [](net::EndpointInfo* e) { e->endpoint(true); }},
      {"endpointName() failed", [](net::EndpointInfo* e) { e->endpointName(true); }},
  };
  for (const Case& c : cases) {
    try {
      c.call(peer);
      ADD_FAILURE() << c.message;
    } catch (plat::Exception& e) {
      EXPECT_STREQ(e.str(), c.message);
    }
  }
}

} // namespace
