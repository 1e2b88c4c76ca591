#include "net/TcpFilter.h"

#include "CaptureLogger.h"
#include "net/EndpointInfo.h"
#include "net/Socket.h"
#include "plat/Exception.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::ScopedCapture;

namespace {

// A socket whose peer address text is given; nothing else about it is real.
class PeerOnly : public net::Socket, public net::EndpointInfo {
public:
  explicit PeerOnly(const char* address) : net::Socket(nullptr), address_(address) {}
  net::EndpointInfo* localEndpoint() override { return this; }
  net::EndpointInfo* peerEndpoint() override { return this; }
  const char* address(bool required) override {
    if (!address_ && required)
      throw plat::Exception("address() failed");
    return address_ ? address_ : "<bad address>";
  }
  int port() override { return 1; }
  const char* name() override { return ""; }
  const char* endpoint(bool) override { return ""; }
  const char* endpointName(bool) override { return ""; }

private:
  const char* address_;
};

TEST(TcpFilter, FirstMatchingRuleDecides) {
  struct Case {
    const char* filter;
    const char* peer;
    bool accepted;
    bool query;
    const char* logged;
  } cases[] = {
      {"+192.168.0.0/16,-0.0.0.0/0", "192.168.4.5", true, false, "ACCEPT 192.168.4.5"},
      {"+192.168.0.0/16,-0.0.0.0/0", "10.0.0.1", false, false, "REJECT 10.0.0.1"},
      {"?10.0.0.0/255.0.0.0", "10.1.2.3", true, true, "QUERY 10.1.2.3"},
      {"?10.0.0.0/255.0.0.0", "11.0.0.1", false, false, "[REJECT] 11.0.0.1"},
      {"+1.2.3.4", "1.2.3.4", true, false, "ACCEPT 1.2.3.4"},
      {"+1.2.3.4", "1.2.3.5", false, false, "[REJECT] 1.2.3.5"},
      {"", "1.2.3.4", false, false, "[REJECT] 1.2.3.4"},
      {"+0.0.0.0/0", "[::1]", false, false, "[REJECT] [::1]"},
      {"-1.2.3.4,+0.0.0.0/0", "1.2.3.4", false, false, "REJECT 1.2.3.4"},
      // A valid rule for the all-ones address matches that address only.
      {"+255.255.255.255", "1.2.3.4", false, false, "[REJECT] 1.2.3.4"},
      // Rules that cannot be parsed never match: nobody is let in by them.
      {"+1.2.3.256/24", "1.2.3.4", false, false, "[REJECT]"},
      {"+1.2.3.0/33", "1.2.3.4", false, false, "[REJECT]"},
      {"+1.2.3.0/-1", "1.2.3.4", false, false, "[REJECT]"},
      {"+1.2.3.0/x", "1.2.3.4", false, false, "[REJECT]"},
      {"+1.2.3.0/255.255.256.0", "1.2.3.4", false, false, "[REJECT]"},
      {"+1.2.3.4.5", "1.2.3.4", false, false, "[REJECT]"},
      {"-1.2.3.256,+1.2.3.4", "1.2.3.4", true, false, "ACCEPT"},
      // IPv4 clients of a dual-stack IPv6 listener meet the IPv4 rules.
      {"-10.0.0.0/8,+0.0.0.0/0", "[::ffff:10.1.2.3]", false, false, "REJECT [::ffff:10.1.2.3]"},
      {"+10.0.0.0/8", "[::FFFF:10.1.2.3]", true, false, "ACCEPT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.filter) + " / " + c.peer);
    ScopedCapture capture("TcpFilter", 100);
    net::TcpFilter filter(c.filter);
    PeerOnly sock(c.peer);
    EXPECT_EQ(filter.verifyConnection(&sock), c.accepted);
    EXPECT_EQ(sock.requiresQuery, c.query);
    EXPECT_TRUE(capture.logger.contains(c.logged));
  }
}

TEST(TcpFilter, MissingPeerAddressIsAnErrorAndRefused) {
  ScopedCapture capture("TcpFilter", 0);
  net::TcpFilter filter("+0.0.0.0/0");
  PeerOnly sock(nullptr);
  EXPECT_FALSE(filter.verifyConnection(&sock));
  ASSERT_TRUE(capture.logger.contains("[ERROR] address() failed"));
  EXPECT_EQ(capture.logger.lines.back().level, 0);
}

TEST(TcpFilter, AddressAndMaskTexts) {
  struct Case {
    const char* text;
    bool valid;
    std::uint32_t address, mask;
  } cases[] = {
      {"", true, 0, 0},
      {"10", true, 0x0a000000, 0xffffffff},
      {"1.2.3.4", true, 0x01020304, 0xffffffff},
      {"1.2.3.4/24", true, 0x01020300, 0xffffff00},
      {"1.2.3.4/0", true, 0, 0},
      {"1.2.3.4/32", true, 0x01020304, 0xffffffff},
      {"1.2.3.4/255.255.0.0", true, 0x01020000, 0xffff0000},
      {"255.255.255.255", true, 0xffffffff, 0xffffffff},
      {"1.2.3.256", false, 0, 0},
      {"1.2.3.4.5", false, 0, 0},
      {"1.2.3.4x", false, 0, 0},
      {"1..3.4", false, 0, 0},
      {"1.2.3.4/33", false, 0, 0},
      {"1.2.3.4/", false, 0, 0},
      {"1.2.3.4/1.2.3.4.5", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    net::TcpFilter::AddrMask am = net::TcpFilter::parseAddrMask(c.text);
    EXPECT_EQ(net::TcpFilter::addrMaskIsValid(am), c.valid);
    if (c.valid) {
      EXPECT_EQ(am.address, c.address);
      EXPECT_EQ(am.mask, c.mask);
    }
  }
}

TEST(TcpFilter, PatternsAndTheirTexts) {
  struct Case {
    const char* text;
    const char* printed;
  } cases[] = {
      {"+1.2.3.4", "+1.2.3.4"},
      {"+1.2.3.0/24", "+1.2.3.0/255.255.255.0"},
      {"-10.0.0.0/8", "-10.0.0.0/255.0.0.0"},
      {"?192.168.1.7", "?192.168.1.7"},
      {"+0.0.0.0/0", "+0.0.0.0/0.0.0.0"},
      {"+255.255.255.255", "+255.255.255.255"},
  };
  for (const Case& c : cases)
    EXPECT_STREQ(net::TcpFilter::patternToStr(net::TcpFilter::parsePattern(c.text)).c_str(),
                 c.printed);
  try {
    net::TcpFilter::parsePattern("x1.2.3.4");
    FAIL();
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), "Invalid pattern");
  }
}

TEST(TcpFilter, ConstructorSkipsEntriesWithoutAnActionAndAcceptsAll) {
  net::TcpFilter filter("x1.2.3.4,,+0.0.0.0/0,-1.2.3.4");
  EXPECT_EQ(filter.getPatterns().size(), 2u);
  EXPECT_TRUE(filter.acceptsAll());
  EXPECT_FALSE(net::TcpFilter("-0.0.0.0/0").acceptsAll());
  EXPECT_FALSE(net::TcpFilter("").acceptsAll());
  EXPECT_FALSE(net::TcpFilter("+1.2.3.256/0").acceptsAll()) << "an invalid rule accepts nobody";
}

} // namespace
