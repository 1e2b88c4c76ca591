// Endpoint texts: a host (bracketed when it holds ':') and a port, written as
// a display offset from a base port (":n") or as a full port ("::n"), and the
// address families to listen on from "InTransports".
#pragma once

#include "plat/String.h"

#include <vector>

namespace net {

// The host, then nothing when port == basePort; else ":%d" with port when
// range is 0; else ":%d" with port - basePort when port lies in
// [basePort, basePort + range), otherwise "::%d" with port. Base and range -1
// give the host, "::" and the port.
plat::String formatEndpoint(const char* host, int port, int basePort, int range);
// Reads "host", "host:n" or "host::n" (the host may be bracketed). Throws
// plat::Exception "unmatched [ in host", "unknown endpoint format" or
// "bad port number". An empty host becomes "localhost".
void parseEndpoint(const char* text, plat::String* host, int* port, int basePort, int range);
// The text without surrounding brackets; "[" without "]" throws "unmatched [
// in host".
plat::String unbracketHost(const char* text);
// The address families in text (or "InTransports" when null), in order:
// "IPv4" or an empty item is AF_INET, "IPv6" AF_INET6, else a decimal number;
// items that give 0 are dropped.
std::vector<int> parseTransports(const char* text = nullptr);

} // namespace net
