// Feeds arbitrary text to the address filter's rule parsers: they must never
// crash, and a rule they accept must print as a text that reads back as the
// same rule.
#include "net/TcpFilter.h"
#include "plat/Exception.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const char* c = text.c_str(); // stops at the first NUL, as a C text does

  net::TcpFilter filter(c);
  filter.acceptsAll();
  for (const net::TcpFilter::Pattern& rule : filter.getPatterns())
    net::TcpFilter::patternToStr(rule);

  std::uint32_t value;
  net::TcpFilter::parseDotted(c, &value);
  net::TcpFilter::parseAddrMask(c);

  try {
    net::TcpFilter::Pattern rule = net::TcpFilter::parsePattern(c);
    if (rule.valid) {
      plat::String printed = net::TcpFilter::patternToStr(rule);
      net::TcpFilter::Pattern again = net::TcpFilter::parsePattern(printed.c_str());
      if (!again.valid || again.action != rule.action || again.address != rule.address ||
          again.mask != rule.mask)
        abort();
    }
  } catch (plat::Exception&) {
    // "Invalid pattern": no action character
  }
  return 0;
}
