#include "net/Endpoint.h"

#include "plat/DString.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/StringParameter.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/socket.h>

static plat::LogWriter vlog("Endpoint");

static plat::StringParameter inTransports(
    "InTransports",
    "List of address families on which to accept connections. Families are specified by number "
    "- see platform networking headers files for valid values. Special mnemonics IPv4 and IPv6 "
    "are also supported.",
    "IPv6,IPv4");

namespace net {

plat::String formatEndpoint(const char* host, int port, int basePort, int range) {
  plat::DString text;
  if (strchr(host, ':') && host[0] != '[')
    text.appendFormat("[%s]", host);
  else
    text.append(host);
  if (port == basePort)
    return text.str();
  if (range == 0)
    text.appendFormat(":%d", port);
  else if (port >= basePort &&
           static_cast<long long>(port) < static_cast<long long>(basePort) + range)
    text.appendFormat(":%d", port - basePort);
  else
    text.appendFormat("::%d", port);
  return text.str();
}

plat::String unbracketHost(const char* text) {
  if (text[0] != '[')
    return plat::String(text);
  size_t len = strlen(text);
  if (len < 2 || text[len - 1] != ']')
    throw plat::Exception("unmatched [ in host");
  return plat::String(text + 1, static_cast<int>(len - 2));
}

namespace {
// A whole decimal number in [0, INT_MAX]; false for anything else.
bool parsePortNumber(const char* text, long* value) {
  if (!*text)
    return false;
  for (const char* p = text; *p; p++)
    if (*p < '0' || *p > '9')
      return false;
  errno = 0;
  long v = strtol(text, nullptr, 10);
  if (errno == ERANGE || v > INT_MAX)
    v = INT_MAX;
  *value = v;
  return true;
}
} // namespace

void parseEndpoint(const char* text, plat::String* host, int* port, int basePort, int range) {
  const char* rest;
  plat::String hostText;
  if (text[0] == '[') {
    const char* close = strchr(text, ']');
    if (!close)
      throw plat::Exception("unmatched [ in host");
    hostText = plat::String(text + 1, static_cast<int>(close - text - 1));
    rest = close + 1;
  } else {
    const char* colon = strchr(text, ':');
    rest = colon ? colon : text + strlen(text);
    hostText = plat::String(text, static_cast<int>(rest - text));
  }
  long n;
  if (rest[0] == ':' && rest[1] == ':') {
    if (!parsePortNumber(rest + 2, &n))
      throw plat::Exception("bad port number");
  } else if (rest[0] == ':') {
    if (!parsePortNumber(rest + 1, &n))
      throw plat::Exception("bad port number");
    if (basePort >= 0 && n < range)
      n += basePort;
  } else if (rest[0] == '\0') {
    if (basePort < 0)
      throw plat::Exception("unknown endpoint format");
    n = basePort;
  } else {
    throw plat::Exception("unknown endpoint format");
  }
  if (n < 1 || n > 65535)
    throw plat::Exception("bad port number");
  *port = static_cast<int>(n);
  *host = hostText.length() == 0 ? plat::String("localhost") : hostText;
}

std::vector<int> parseTransports(const char* text) {
  plat::String value = text ? plat::String(text) : inTransports.getValue();
  std::vector<int> families;
  const char* p = value.c_str();
  for (;;) {
    const char* comma = strchr(p, ',');
    plat::String item(p, comma ? static_cast<int>(comma - p) : static_cast<int>(strlen(p)));
    int family;
    if (item.length() == 0 || strcasecmp(item.c_str(), "IPv4") == 0)
      family = AF_INET;
    else if (strcasecmp(item.c_str(), "IPv6") == 0)
      family = AF_INET6;
    else
      family = atoi(item.c_str());
    if (family != 0)
      families.push_back(family);
    if (!comma)
      break;
    p = comma + 1;
  }
  return families;
}

} // namespace net
