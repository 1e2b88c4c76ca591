// Decides from an ordered list of IPv4 rules whether an incoming connection
// is accepted, rejected or accepted after the desktop user's approval. The
// first matching rule decides; an address that matches none is rejected. A
// rule whose address or mask cannot be parsed never matches.
#pragma once

#include "net/ConnectionFilter.h"
#include "plat/String.h"

#include <cstdint>
#include <vector>

namespace net {

class TcpFilter : public ConnectionFilter {
public:
  enum Action { Accept = 0, Reject = 1, Query = 2 };

  // An address and mask in host order, the address already masked. valid is
  // false when the text could not be parsed (a value of all ones is a valid
  // address, so it cannot serve as the marker).
  struct AddrMask {
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
    bool valid = true;
  };

  struct Pattern {
    Action action = Reject;
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
    bool valid = true;
  };

  // Comma-separated rules; empty entries and entries that do not begin with
  // "+", "-" or "?" are skipped.
  explicit TcpFilter(const char* text);
  ~TcpFilter() override;

  // Applies the rules to the socket's peer address; a query rule sets the
  // socket's requiresQuery flag.
  bool verifyConnection(Socket* s) override;
  // True when the first rule accepts every address.
  bool acceptsAll() const;
  const std::vector<Pattern>& getPatterns() const { return filter; }

  // One rule; a first character other than "+", "-", "?" throws
  // plat::Exception "Invalid pattern".
  static Pattern parsePattern(const char* text);
  // a.b.c.d, a.b.c.d/m.m.m.m or a.b.c.d/n; empty matches every address.
  static AddrMask parseAddrMask(const char* text);
  static bool addrMaskIsValid(const AddrMask& addrMask) { return addrMask.valid; }
  static plat::String patternToStr(const Pattern& rule);
  // A dotted quad of at most four parts (missing trailing parts are 0) to a
  // host-order value; false when it is not one.
  static bool parseDotted(const char* text, std::uint32_t* value);

private:
  std::vector<Pattern> filter;
};

} // namespace net
