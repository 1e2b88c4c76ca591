#include "net/Endpoint.h"

#include "plat/Exception.h"
#include "plat/ParameterSet.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

namespace {

TEST(Endpoint, FormatEndpoint) {
  struct Case {
    const char* host;
    int port, base, range;
    const char* want;
  } cases[] = {
      {"10.0.0.1", 5901, 5900, 100, "10.0.0.1:1"},
      {"10.0.0.1", 6100, 5900, 100, "10.0.0.1::6100"},
      {"10.0.0.1", 5900, 5900, 100, "10.0.0.1"},
      {"10.0.0.1", 5899, 5900, 100, "10.0.0.1::5899"},
      {"host", 22, 5900, 0, "host:22"},
      {"::1", 22, -1, -1, "[::1]::22"},
      {"[::1]", 22, -1, -1, "[::1]::22"},
      {"1.2.3.4", 40000, -1, -1, "1.2.3.4::40000"},
  };
  for (const Case& c : cases)
    EXPECT_STREQ(net::formatEndpoint(c.host, c.port, c.base, c.range).c_str(), c.want) << c.want;
}

TEST(Endpoint, ParseEndpoint) {
  struct Case {
    const char* text;
    int base, range;
    const char* host; // nullptr: throws error
    int port;
    const char* error;
  } cases[] = {
      {":2", 5900, 100, "localhost", 5902, nullptr},
      {"host::5999", 5900, 100, "host", 5999, nullptr},
      {"host:200", 5900, 100, "host", 200, nullptr},
      {"host", 5900, 100, "host", 5900, nullptr},
      {"[::1]::22", -1, -1, "::1", 22, nullptr},
      {"[fe80::1]:3", 5900, 100, "fe80::1", 5903, nullptr},
      {"host", -1, -1, nullptr, 0, "unknown endpoint format"},
      {"host::0", 5900, 100, nullptr, 0, "bad port number"},
      {"host::65536", -1, -1, nullptr, 0, "bad port number"},
      {"host::99999999999999", -1, -1, nullptr, 0, "bad port number"},
      {"host:x", 5900, 100, nullptr, 0, "bad port number"},
      {"host:", 5900, 100, nullptr, 0, "bad port number"},
      {"host::-5", -1, -1, nullptr, 0, "bad port number"},
      {"[::1", 5900, 100, nullptr, 0, "unmatched [ in host"},
      {"[::1]x", 5900, 100, nullptr, 0, "unknown endpoint format"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    plat::String host;
    int port = 0;
    if (c.host) {
      net::parseEndpoint(c.text, &host, &port, c.base, c.range);
      EXPECT_STREQ(host.c_str(), c.host);
      EXPECT_EQ(port, c.port);
    } else {
      try {
        net::parseEndpoint(c.text, &host, &port, c.base, c.range);
        ADD_FAILURE() << "no exception";
      } catch (plat::Exception& e) {
        EXPECT_STREQ(e.str(), c.error);
      }
    }
  }
}

TEST(Endpoint, UnbracketHost) {
  EXPECT_STREQ(net::unbracketHost("[::1]").c_str(), "::1");
  EXPECT_STREQ(net::unbracketHost("name").c_str(), "name");
  EXPECT_THROW(net::unbracketHost("[::1"), plat::Exception);
}

TEST(Endpoint, ParseTransports) {
  EXPECT_EQ(net::parseTransports("ipv6,,7"), (std::vector<int>{AF_INET6, AF_INET, 7}));
  EXPECT_EQ(net::parseTransports("IPv4,0,x"), (std::vector<int>{AF_INET}));
  EXPECT_EQ(net::parseTransports(nullptr), (std::vector<int>{AF_INET6, AF_INET}))
      << "the default of InTransports";
  plat::ParameterSet::global().setParam("InTransports", "IPv4", 50);
  EXPECT_EQ(net::parseTransports(), (std::vector<int>{AF_INET}));
  plat::ParameterSet::global().find("InTransports")->unsetParam(50);
}

} // namespace
