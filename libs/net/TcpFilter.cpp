#include "net/TcpFilter.h"

#include "net/EndpointInfo.h"
#include "net/Socket.h"
#include "plat/DString.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <arpa/inet.h>
#include <cstring>
#include <strings.h>

static plat::LogWriter vlog("TcpFilter");

namespace net {

namespace {
// The IPv4 address a peer address text stands for: a dotted quad, or an
// IPv6 text (bracketed or not) of an IPv4-mapped address. False otherwise.
bool peerIPv4(const char* text, std::uint32_t* value) {
  plat::String plain(text);
  size_t len = strlen(text);
  if (len >= 2 && text[0] == '[' && text[len - 1] == ']')
    plain = plat::String(text + 1, static_cast<int>(len - 2));
  const char* p = plain.c_str();
  if (strncasecmp(p, "::ffff:", 7) == 0 && strchr(p + 7, '.'))
    p += 7;
  struct in_addr addr;
  if (inet_pton(AF_INET, p, &addr) != 1)
    return false;
  *value = ntohl(addr.s_addr);
  return true;
}

plat::String dotted(std::uint32_t value) {
  char text[INET_ADDRSTRLEN];
  struct in_addr addr;
  addr.s_addr = htonl(value);
  inet_ntop(AF_INET, &addr, text, sizeof text);
  return plat::String(text);
}
} // namespace

bool TcpFilter::parseDotted(const char* text, std::uint32_t* value) {
  std::uint32_t result = 0;
  int parts = 0;
  const char* p = text;
  if (*p == '\0') {
    *value = 0;
    return true;
  }
  for (;;) {
    if (parts == 4 || *p < '0' || *p > '9')
      return false;
    unsigned part = 0;
    while (*p >= '0' && *p <= '9') {
      part = part * 10 + (*p - '0');
      if (part > 255)
        return false;
      p++;
    }
    result |= part << (24 - 8 * parts);
    parts++;
    if (*p == '\0')
      break;
    if (*p != '.')
      return false;
    p++;
  }
  *value = result;
  return true;
}

TcpFilter::AddrMask TcpFilter::parseAddrMask(const char* text) {
  AddrMask am;
  if (*text == '\0')
    return am; // every address
  const char* slash = strchr(text, '/');
  plat::String addressPart =
      slash ? plat::String(text, static_cast<int>(slash - text)) : plat::String(text);
  am.mask = 0xffffffffu;
  if (slash) {
    const char* maskText = slash + 1;
    if (strchr(maskText, '.')) {
      am.valid = parseDotted(maskText, &am.mask);
    } else {
      // A prefix length: decimal digits only, 0 to 32.
      int n = 0;
      am.valid = *maskText != '\0' && strlen(maskText) <= 2;
      for (const char* p = maskText; am.valid && *p; p++) {
        if (*p < '0' || *p > '9')
          am.valid = false;
        else
          n = n * 10 + (*p - '0');
      }
      if (am.valid && n > 32)
        am.valid = false;
      if (am.valid)
        am.mask = n == 0 ? 0 : 0xffffffffu << (32 - n);
    }
  }
  std::uint32_t address = 0;
  if (!parseDotted(addressPart.c_str(), &address))
    am.valid = false;
  if (!am.valid) {
    am.address = 0xffffffffu;
    am.mask = 0;
    return am;
  }
  am.address = address & am.mask;
  return am;
}

TcpFilter::Pattern TcpFilter::parsePattern(const char* text) {
  Pattern rule;
  switch (text[0]) {
  case '+':
    rule.action = Accept;
    break;
  case '-':
    rule.action = Reject;
    break;
  case '?':
    rule.action = Query;
    break;
  default:
    throw plat::Exception("Invalid pattern");
  }
  AddrMask am = parseAddrMask(text + 1);
  rule.address = am.address;
  rule.mask = am.mask;
  rule.valid = am.valid;
  return rule;
}

plat::String TcpFilter::patternToStr(const Pattern& rule) {
  char action = rule.action == Accept ? '+' : rule.action == Query ? '?' : '-';
  plat::DString text;
  text.appendFormat("%c%s", action, dotted(rule.address).c_str());
  if (rule.mask != 0xffffffffu)
    text.appendFormat("/%s", dotted(rule.mask).c_str());
  return text.str();
}

TcpFilter::TcpFilter(const char* text) {
  const char* p = text ? text : "";
  for (;;) {
    const char* comma = strchr(p, ',');
    plat::String entry(p, comma ? static_cast<int>(comma - p) : static_cast<int>(strlen(p)));
    const char* e = entry.c_str();
    if (e[0] == '+' || e[0] == '-' || e[0] == '?') {
      Pattern rule = parsePattern(e);
      if (!rule.valid)
        vlog.error("invalid rule %s never matches", e);
      filter.push_back(rule);
    }
    if (!comma)
      break;
    p = comma + 1;
  }
}

TcpFilter::~TcpFilter() = default;

bool TcpFilter::acceptsAll() const {
  return !filter.empty() && filter[0].valid && filter[0].action == Accept && filter[0].mask == 0;
}

bool TcpFilter::verifyConnection(Socket* s) {
  try {
    const char* address = s->peerEndpoint()->address(true);
    std::uint32_t peer = 0;
    bool isIPv4 = peerIPv4(address, &peer);
    if (isIPv4) {
      for (const Pattern& rule : filter) {
        if (!rule.valid || (rule.address & rule.mask) != (peer & rule.mask))
          continue;
        switch (rule.action) {
        case Reject:
          vlog.debug("REJECT %s", address);
          return false;
        case Accept:
          vlog.debug("ACCEPT %s", address);
          return true;
        case Query:
          vlog.debug("QUERY %s", address);
          s->requiresQuery = true;
          return true;
        }
      }
    }
    vlog.debug("[REJECT] %s", address);
    return false;
  } catch (plat::Exception& e) {
    vlog.error("[ERROR] %s", e.str());
    return false;
  }
}

} // namespace net
