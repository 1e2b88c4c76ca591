#include "serverconfig/AccessControlEntry.h"

#include "net/TcpFilter.h"
#include "plat/Exception.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace serverconfig {

AccessControlEntry::AccessControlEntry(const char* entry) : text_(entry) {
  net::TcpFilter::Pattern rule = net::TcpFilter::parsePattern(entry);
  // Only a rule the filter reads as matching every address is the Default
  // entry; an unreadable one matches nothing and stays an ordinary rule.
  isDefault_ = rule.valid && rule.mask == 0;
  pattern_ = isDefault_ ? "Default" : entry + 1;
  action_ = static_cast<Action>(rule.action);
  updateDisplay();
}

void AccessControlEntry::setAction(Action action) {
  action_ = action;
  updateDisplay();
  updateText();
}

void AccessControlEntry::setPattern(const char* pattern) {
  pattern_ = pattern;
  updateDisplay();
  updateText();
}

void AccessControlEntry::updateDisplay() {
  if (action_ == None)
    return;
  const char* word = action_ == Accept ? "Accept" : action_ == Reject ? "Reject" : "Query";
  display_ = (std::string(word) + " - " + pattern_.c_str()).c_str();
}

void AccessControlEntry::updateText() {
  if (action_ == None)
    return;
  const char* mark = action_ == Accept ? "+" : action_ == Reject ? "-" : "?";
  text_ = (std::string(mark) + (isDefault_ ? "" : pattern_.c_str())).c_str();
}

void AccessControlEntry::validate() const {
  if (action_ == None)
    throw plat::Exception("You must choose either Accept, Reject or Query");
  if (isDefault_)
    return;
  if (!*pattern_.c_str())
    throw plat::Exception("You must enter a valid IP address or subnet mask.");
  net::TcpFilter::AddrMask am = net::TcpFilter::parseAddrMask(pattern_.c_str());
  // The filter never matches an address or mask it cannot read.
  if (!net::TcpFilter::addrMaskIsValid(am))
    throw plat::Exception("You must enter a valid IP address or subnet mask.");
  if (am.mask != 0)
    return;
  const char* slash = strchr(pattern_.c_str(), '/');
  throw plat::ExceptionFmt(
      "The subnet mask \"%s\" is not valid because it matches all IP addresses.\nPlease enter "
      "a more restrictive subnet mask.\n\n(If you really want to match all IP addresses, "
      "please use the \"Default\"\n Access Control entry instead of a subnet mask.)",
      slash ? slash + 1 : "0");
}

} // namespace serverconfig
