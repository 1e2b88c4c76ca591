#include "serverconfig/ConnTestSession.h"

#include "plat/DString.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/ProductInfo.h"
#include "plat/StringUtils.h"

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

namespace serverconfig {

static plat::LogWriter vlog("ConnTestDialog");

namespace {

// The sentence with its fields put in by the formatter: a field's text (an
// address from the test service, an error message) is taken as it is.
std::string sentence(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string sentence(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  plat::DString out;
  out.appendFormatV(format, ap);
  va_end(ap);
  return out.c_str();
}

// True when address is one of the comma-separated entries of list.
bool listed(const char* list, const char* address) {
  if (!address)
    return false;
  for (const std::string& entry : plat::strSplitAll(list, ','))
    if (entry == address)
      return true;
  return false;
}

} // namespace

ConnTestSession::ConnTestSession(StatusDialog::Callback* status_, net::SocketManager* mgr,
                                 const char* serviceHost, int servicePort)
    : status(status_), test(mgr, serviceHost, servicePort) {
}

ConnTestSession::~ConnTestSession() = default;

const char* ConnTestSession::headerText(bool running) {
  if (running)
    return "\n\nTest in progress. Please wait...";
  // The maker is named as every notice of the product names it.
  static const std::string idle =
      std::string("This will check whether or not Zav Server is contactable over the Internet. "
                  "To do this, it must make a connection to ") +
      plat::ProductInfo::maker + " Click Start to start the test.";
  return idle.c_str();
}

void ConnTestSession::changed() {
  if (onChange)
    onChange();
}

void ConnTestSession::startTest() {
  const char* total = status->getStatusParam("total_connections");
  connectionsAtStart = total ? std::atoi(total) : 0;
  const char* rfbPort = status->getParam("rfbPort");
  if (rfbPort) {
    port = std::atoi(rfbPort);
  } else {
    port = 5900;
    vlog.error("Couldn't get port number. Assuming 5900");
  }
  running = false;
  if (port != 0) {
    try {
      test.start(port, this);
      details_ =
          std::string("Connecting to ") + zav::ConnectionTest::serviceDomain + ". Please wait.";
      running = true;
    } catch (plat::Exception& e) {
      test.stop();
      details_ = sentence("Could not connect to %s. The error message \"%s\". was returned. Zav "
                          "Server may or may not be contactable over the Internet.",
                          zav::ConnectionTest::serviceDomain, e.str());
    }
  } else {
    details_ = "Zav Server is not listening on a port, so there is nothing to test.";
  }
  changed();
}

void ConnTestSession::cancel() {
  test.stop();
  details_ = "Connection test cancelled.";
  running = false;
  changed();
}

void ConnTestSession::testComplete(zav::ConnectionTest* t, const char* error) {
  std::string addrs =
      status->getStatusParam("ip_addrs") ? status->getStatusParam("ip_addrs") : std::string();
  bool haveAddrs = status->getStatusParam("ip_addrs") != nullptr;
  const char* external = t->externalAddress.get();
  bool natted = !haveAddrs || !listed(addrs.c_str(), external);

  int localResult;
  const char* total = status->getStatusParam("total_connections");
  if (!total)
    localResult = 2;
  else
    localResult = std::atoi(total) > connectionsAtStart ? 1 : 0;

  const char* how = natted ? "natted" : "direct";
  // The second field counts the addresses.
  int count = 0;
  if (haveAddrs && !addrs.empty())
    count = 1 + static_cast<int>(std::count(addrs.begin(), addrs.end(), ','));
  vlog.notice("Internal IP addresses: %s (%s)", haveAddrs ? addrs.c_str() : "(null)",
              count ? std::to_string(count).c_str() : "none");
  vlog.notice("External IP address:   %s (%s)", external ? external : "(null)", how);
  vlog.notice("nettest result:        %i", t->reachable ? 1 : 0);
  vlog.notice("local result:          %i", localResult);
  vlog.notice("error:                 %s", error ? error : "no error");

  std::string text = details_ + "\n\n";
  std::string ext = external ? external : "(null)";
  if (error) {
    text += sentence("Could not read response from %s. The system returned the error message "
                     "\"%s\". Zav Server may or may not be contactable over the Internet.",
                     zav::ConnectionTest::serviceDomain, error);
  } else if (t->reachable && localResult != 0) {
    text += "Zav Server and your network are correctly configured to accept connections over "
            "the Internet.";
    if (natted)
      text += sentence("\n\nHowever, please note that Zav Server appears to be behind a NAT "
                       "router with IP address %s. If you are connecting from outside your LAN, "
                       "then you will need to use this IP address.",
                       ext.c_str());
  } else if (natted) {
    text += sentence("Zav Server appears to be behind a NAT router with IP address %s. You will "
                     "need to configure this router to forward port %i to this computer before "
                     "you can connect to Zav Server over the Internet.",
                     ext.c_str(), port);
  } else {
    text += sentence("If you are running any firewall software on this computer, check that you "
                     "have enabled Zav Server and/or port %i as an exception.",
                     port);
  }
  details_ = text;
  running = false;
  changed();
}

} // namespace serverconfig
