// The host's primary IPv4 address as the site says it: the first line that
// the script "/etc/zav/get_primary_ip4" writes. Nothing is cached; every call
// runs the script again.
#pragma once

#include "plat/String.h"

namespace os {

// The first line of the script's output without its newline (at most 1023
// characters). Throws plat::Exception kinds when the script is missing, not
// executable by others, writes nothing or exits with a non-zero status (the
// message then carries the line it wrote).
constexpr const char* primaryIp4Script = "/etc/zav/get_primary_ip4";

plat::String getPrimaryIp4(const char* scriptPath = primaryIp4Script);

} // namespace os
