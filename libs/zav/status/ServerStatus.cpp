#include "zav/status/ServerStatus.h"

#include "net/Endpoint.h"
#include "net/TcpFilter.h"
#include "plat/Assert.h"
#include "plat/DString.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/MarkUp.h"
#include "plat/StringUtils.h"
#include "plat/crypto/KeySignature.h"
#include "rdr/InStream.h"
#include "rdr/OutStream.h"

#include <sys/socket.h>

#include <cstring>
#include <strings.h>

static plat::LogWriter vlog("ServerStatus");

namespace zav {

namespace {

// Bytes at the front of the status record that carry server data this model
// does not use; written as zeros, skipped when read.
const int leadingBytes = 7;
const int addressInUse = 98;

void appendLink(plat::DString& out, int link, const char* label) {
  out.appendFormat("^%d{", link);
  plat::MarkUp::appendEscaped(out, label);
  out.append("^}");
}

void appendBracketedLink(plat::DString& out, int link, const char* label) {
  out.append(" [ ");
  appendLink(out, link, label);
  out.append(" ]");
}

void writeText(rdr::OutStream& os, const char* text) {
  size_t length = text ? strlen(text) : 0;
  if (length > 255)
    length = 255;
  os.writeU8(std::uint8_t(length));
  if (length)
    os.writeBytes(text, int(length));
}

plat::String readText(rdr::InStream& is) {
  int length = is.readU8();
  char buf[256];
  is.readBytes(buf, length);
  return plat::String(buf, length);
}

const char bullet[] = "  \u2022 ";
const char continuation[] = "     ";

} // namespace

ServerStatus::ServerStatus(HLCallback* callback) : callback_(callback) {
}

ServerStatus::~ServerStatus() = default;

bool ServerStatus::can(unsigned capability) const {
  return callback_ && (callback_->getCapabilities() & capability) != 0;
}

void ServerStatus::setSecurity(bool hasPassword, const char* verifierList) {
  passwordNotSet_ = false;
  noAuthentication_ = false;
  if (!verifierList)
    return;
  const char* comma = strchr(verifierList, ',');
  plat::String first(verifierList, comma ? int(comma - verifierList) : int(strlen(verifierList)));
  passwordNotSet_ = strcasecmp(first.c_str(), "zavauth") == 0 && !hasPassword;
  noAuthentication_ = strcasecmp(first.c_str(), "none") == 0;
}

void ServerStatus::setKeySignature(const char* signature) {
  if (signature && !*signature)
    signature = nullptr;
  if (!plat::strEqual(signature, keySignature_.get()))
    keySignature_ = plat::String(signature);
}

void ServerStatus::setKeySignature(const crypto::RsaKey* key) {
  if (!key) {
    setKeySignature(static_cast<const char*>(nullptr));
    return;
  }
  try {
    crypto::KeySignature signature(*key);
    setKeySignature(signature.getText());
  } catch (plat::Exception& e) {
    // No signature is shown, and hasProblem() reports the missing key.
    vlog.debug("key signature: %s", e.str());
    setKeySignature(static_cast<const char*>(nullptr));
  }
}

void ServerStatus::setAddresses(const std::vector<plat::String>& addresses) {
  addresses_.clear();
  for (const plat::String& address : addresses) {
    plat::String copy(address.c_str());
    char* text = copy.buf();
    char* zone = strchr(text, '%');
    if (zone) {
      // "[fe80::1%eth0]" keeps its closing bracket.
      bool bracket = strchr(zone, ']') != nullptr;
      zone[0] = bracket ? ']' : '\0';
      if (bracket)
        zone[1] = '\0';
    }
    addresses_.push_back(plat::String(text));
  }
}

void ServerStatus::setFilterBlocksIPv6(const char* hosts, const char* transports) {
  ipv6Filtered_ = false;
  try {
    net::TcpFilter filter(hosts ? hosts : "");
    if (filter.acceptsAll())
      return;
    for (int family : net::parseTransports(transports ? transports : ""))
      if (family == AF_INET6)
        ipv6Filtered_ = true;
  } catch (plat::Exception& e) {
    vlog.debug("IPv6 filter state: %s", e.str());
  }
}

const char* ServerStatus::modeName(unsigned mode) {
  switch (mode) {
  case 1:
    return "Service-Mode";
  case 2:
    return "User-Mode";
  case 3:
    return "Virtual-Mode";
  }
  return nullptr;
}

const char* ServerStatus::updateTitle() {
  plat::DString text;
  const char* name = modeName(mode_);
  if (name)
    text.appendFormat("Zav Server (%s)", name);
  else
    text.append("Zav Server");
  title_ = text.str();
  return title_.c_str();
}

const char* ServerStatus::tooltipText(bool multiLine) {
  plat::DString text;
  text.append(updateTitle());
  if (!addresses_.empty()) {
    text.append(multiLine ? ":\n  " : ": ");
    for (size_t i = 0; i < addresses_.size(); i++) {
      if (i)
        text.append(multiLine ? "\n  " : ", ");
      text.append(addresses_[i].c_str());
    }
  }
  title_ = text.str();
  return title_.c_str();
}

bool ServerStatus::hasProblem(bool includeWeb) const {
  return rfbError_ != 0 || (includeWeb && webError_ != 0) || passwordNotSet_ ||
         keySignature_.isNull();
}

int ServerStatus::level() const {
  if (hasProblem(true))
    return 3;
  if (rfbPort_ == 0 || noAuthentication_)
    return 2;
  return 0;
}

int ServerStatus::trayIconState() const {
  if (userCount_ >= (mode_ == 3 ? 2u : 1u))
    return 1;
  bool problem = hasProblem(true);
  if (trayIconSetting_ > 0)
    return 4;
  if (!problem && rfbPort_ != 0)
    return 0;
  return problem ? 3 : 2;
}

plat::String ServerStatus::rfbAddress() const {
  if (addresses_.empty() || rfbError_ != 0)
    return plat::String();
  return net::formatEndpoint(addresses_[0].c_str(), int(rfbPort_), 5900, 100);
}

plat::String ServerStatus::webAddress() const {
  if (addresses_.empty() || webError_ != 0)
    return plat::String();
  plat::DString text;
  text.append("http://");
  text.append(net::formatEndpoint(addresses_[0].c_str(), int(webPort_), 80, 0).c_str());
  return text.str();
}

plat::String ServerStatus::summaryMarkup() const {
  plat::DString text;
  if (hasProblem(true)) {
    text.append("There is a problem with Zav Server");
  } else if (rfbPort_ == 0) {
    text.append("Zav Server is disabled");
  } else if (noAuthentication_) {
    text.append("Zav Server is not password-protected");
    appendBracketedLink(text, 14, "details");
  } else {
    text.append("Zav Server is working normally");
    const char* name = modeName(mode_);
    if (name) {
      text.appendFormat(" in %s", name);
      if (can(HLCallback::_showPopup))
        appendBracketedLink(text, mode_ == 1 ? 17 : mode_ == 2 ? 18 : 19, "what is this?");
    }
  }
  return text.str();
}

plat::String ServerStatus::listenerProblemText(const char* name, unsigned error,
                                               unsigned port) const {
  plat::DString text;
  bool optionsLink = !noActionLinks_ && can(HLCallback::_options);
  if (error == addressInUse) {
    plat::String owner = callback_ ? callback_->portOwner(int(port)) : plat::String();
    plat::DString escapedOwner;
    plat::MarkUp::appendEscaped(escapedOwner, owner.isNull() ? "another program" : owner.c_str());
    text.appendFormat("Zav Server is unable to accept %s connections on port %u because the port "
                      "is in use by %s.",
                      name, port, escapedOwner.c_str());
    if (optionsLink) {
      text.append("\n\nEither close that program or click the ");
      appendLink(text, 12, "Options...");
      text.appendFormat(" button to change the port on which Zav Server accepts %s connections.",
                        name);
    }
  } else if (error != 0) {
    text.appendFormat(
        "Zav Server is unable to accept %s connections on port %u.  The error message was ", name,
        port);
    plat::DString systemText;
    systemText.appendFormat("%s (%u)", strerror(int(error)), error);
    text.append("^b");
    plat::MarkUp::appendEscaped(text, systemText.c_str());
    text.append("^n.");
  } else {
    text.appendFormat("Zav Server has been configured not to accept %s connections.", name);
    if (optionsLink) {
      text.append("  Click the ");
      appendLink(text, 12, "Options...");
      text.append(" button to change the configuration settings.");
    }
  }
  return text.str();
}

plat::String ServerStatus::detailsMarkup() const {
  plat::DString text;
  if (!hasProblem(false) && rfbPort_ != 0) {
    if (addresses_.empty()) {
      text.append("Unable to determine Zav Server address");
      if (can(HLCallback::_showPopup))
        appendBracketedLink(text, 4, "details");
    } else {
      plat::String rfbAddr = rfbAddress();
      PLAT_ASSERT(rfbAddr.get());
      text.append("Address: ");
      plat::MarkUp::appendEscaped(text, rfbAddr.c_str());
      plat::DString links;
      auto addLink = [&links](int link, const char* label) {
        if (links.length())
          links.append(" | ");
        appendLink(links, link, label);
      };
      if (can(HLCallback::_copy))
        addLink(6, "copy");
      if (can(HLCallback::_test))
        addLink(7, "test");
      if (can(HLCallback::_showPopup) && addresses_.size() > 1)
        addLink(8, "show all");
      if (can(HLCallback::_showPopup) && ipv6Filtered_)
        addLink(9, "IPv6 info");
      if (links.length())
        text.appendFormat(" [ %s ]", links.c_str());
      text.append("\n\n");
      if (webError_ == 0 && webPort_ != 0) {
        plat::String httpAddr = webAddress();
        PLAT_ASSERT(httpAddr.get());
        text.append("URL: ");
        plat::MarkUp::appendEscaped(text, httpAddr.c_str());
        if (can(HLCallback::_copy))
          appendBracketedLink(text, 11, "copy");
      } else {
        text.append("Not accepting web browser connections");
        if (can(HLCallback::_showPopup))
          appendBracketedLink(text, 10, "details");
      }
    }
  } else {
    text.append("Not accepting connections");
    if (can(HLCallback::_showPopup))
      appendBracketedLink(text, 5, "details");
  }
  text.append("\n\n");
  text.append("\n");
  if (userCount_ == 0) {
    text.append("No users connected\n\n");
  } else {
    if (userCount_ == 1)
      text.append("1 user connected");
    else
      text.appendFormat("%u users connected", userCount_);
    if (can(HLCallback::_users))
      appendBracketedLink(text, 13, "details");
    text.append("\n\n");
  }
  text.append("\n");
  if (!keySignature_.isNull()) {
    text.append("Zav Server signature: ");
    plat::MarkUp::appendEscaped(text, keySignature_.c_str());
    if (can(HLCallback::_showPopup))
      appendBracketedLink(text, 15, "what is this?");
  }
  return text.str();
}

void ServerStatus::popup(const char* title, const char* markup) {
  if (callback_)
    callback_->showPopup(title, markup);
}

void ServerStatus::linkClicked(int link) {
  plat::DString text;
  switch (link) {
  case 4:
    PLAT_ASSERT((callback_ && ((callback_->getCapabilities() & HLCallback::_showPopup) != 0)));
    text.appendFormat("Zav Server is accepting Zav Viewer connections on port %u but it was not "
                      "possible to determine its address.",
                      rfbPort_);
    popup("Unknown Zav Server address", text.c_str());
    break;
  case 5:
    PLAT_ASSERT((callback_ && ((callback_->getCapabilities() & HLCallback::_showPopup) != 0)));
    if (passwordNotSet_) {
      text.append("Zav Server has been configured to use Zav Password authentication, but you "
                  "have not yet set a password.");
      if (!noActionLinks_ && can(HLCallback::_options)) {
        text.append("  Click the ");
        appendLink(text, 12, "Options...");
        text.append(" button to change the configuration settings.");
      }
    } else if (!keySignature_.isNull()) {
      text.append(listenerProblemText("Zav Viewer", rfbError_, rfbPort_).c_str());
    } else {
      text.append("Your secure encryption key is missing or corrupt.  You should determine why "
                  "this has happened before continuing.  For security reasons, Zav Server will "
                  "not allow secure connections until a new key has been generated.");
    }
    popup("Not accepting Zav Viewer connections", text.c_str());
    break;
  case 6: {
    plat::String address = rfbAddress();
    if (callback_ && !address.isNull())
      callback_->copyText(address.c_str());
    break;
  }
  case 7:
    if (callback_)
      callback_->runTest(link);
    break;
  case 8:
    text.append("Your computer has more than one IP address.  Zav Server will accept "
                "connections on any of the following IP addresses:");
    for (const plat::String& address : addresses_) {
      text.append("\n    ");
      plat::MarkUp::appendEscaped(text, address.c_str());
    }
    popup("Multiple IP addresses", text.c_str());
    break;
  case 9:
    popup("IPv6 Disabled", "Zav Server is not accepting IPv6 connections because you have "
                           "configured IP address filtering, which does not currently support "
                           "IPv6.");
    break;
  case 10:
    popup("Not accepting web browser connections",
          listenerProblemText("web browser", webError_, webPort_).c_str());
    break;
  case 11: {
    plat::String url = webAddress();
    if (callback_ && !url.isNull())
      callback_->copyText(url.c_str());
    break;
  }
  case 12:
    if (callback_)
      callback_->showOptions(link);
    break;
  case 13:
    if (callback_)
      callback_->showUsers(link);
    break;
  case 14:
    popup("Zav Server Authentication", "Zav Server has been configured to accept connections "
                                       "without requiring Zav Viewer users to enter a password.");
    break;
  case 15:
    popup("Zav Server Signature",
          "Zav Server's signature is used to identify it to Zav Viewers.  The first time you "
          "make a secure connection to Zav Server, Zav Viewer will display this signature for "
          "you to verify.  If the signature changes subsequently, Zav Viewer will issue a "
          "warning to notify you that you may not be connecting to the intended Zav Server.");
    break;
  case 17:
    text.append("A system administrator can start Zav Server in Service-Mode to give Zav Viewer "
                "users access to the host computer at any time. In Service-Mode, Zav Server:\n\n");
    text.append(bullet).append("Is available as soon as the system has started up.\n");
    text.append(bullet).append("Is available even when no-one is logged on to the host\n");
    text.append(continuation).append("computer.\n");
    text.append(bullet).append("Is configured with a single set of system-wide options.");
    popup("Zav Server (Service-Mode)", text.c_str());
    break;
  case 18:
    text.append("You can start Zav Server in User-Mode to give Zav Viewer users access to your "
                "computer, often for a short period of time. In User-Mode, Zav Server:\n\n");
    text.append(bullet).append("Runs as a normal application, according to the current\n");
    text.append(continuation).append("user's system rights.\n");
    text.append(bullet).append("Is not available when the user logs out.\n");
    text.append(bullet).append("Can be configured by each user independently.");
    popup("Zav Server (User-Mode)", text.c_str());
    break;
  case 19:
    text.append("You can start Zav Server in Virtual Mode to give Zav Viewer users access to a "
                "'virtual' desktop, independent of the computer's physical display hardware (the "
                "console). This may be useful to give connected users individual workspaces. In "
                "Virtual Mode, Zav Server:\n\n");
    text.append(bullet).append("Allows a computer to provide multiple independent\n");
    text.append(continuation).append("desktops simultaneously.\n");
    text.append(bullet).append("Isolates desktops from one another, and from the\n");
    text.append(continuation).append("console.\n");
    text.append(bullet).append("Makes a computer accessible even if it has no\n");
    text.append(continuation).append("monitor, keyboard, or mouse.\n");
    popup("Zav Server (Virtual-Mode)", text.c_str());
    break;
  default:
    break;
  }
}

void ServerStatus::write(rdr::OutStream& os) {
  for (int i = 0; i < leadingBytes; i++)
    os.writeU8(0);
  os.writeU8(passwordNotSet_);
  os.writeU8(noAuthentication_);
  os.writeU8(ipv6Filtered_);
  os.writeU8(noActionLinks_);
  os.writeU8(std::uint8_t(trayIconSetting_));
  writeText(os, keySignature_.get());
  os.writeU32(std::uint32_t(addresses_.size()));
  for (const plat::String& address : addresses_)
    writeText(os, address.c_str());
  os.writeU16(std::uint16_t(rfbPort_));
  os.writeU16(std::uint16_t(webPort_));
  os.writeU32(rfbError_);
  os.writeU32(webError_);
  os.writeU32(userCount_);
  os.writeU8(std::uint8_t(mode_));
}

void ServerStatus::read(rdr::InStream& is) {
  is.skip(leadingBytes);
  passwordNotSet_ = is.readU8() != 0;
  noAuthentication_ = is.readU8() != 0;
  ipv6Filtered_ = is.readU8() != 0;
  noActionLinks_ = is.readU8() != 0;
  trayIconSetting_ = is.readU8();
  setKeySignature(readText(is).c_str());
  // The count comes from another process: nothing is reserved for it, and
  // every address takes at least its length byte, so a count larger than
  // the record runs the stream dry instead of allocating.
  std::uint32_t count = is.readU32();
  std::vector<plat::String> addresses;
  for (std::uint32_t i = 0; i < count; i++)
    addresses.push_back(readText(is));
  addresses_ = std::move(addresses);
  rfbPort_ = is.readU16();
  webPort_ = is.readU16();
  rfbError_ = is.readU32();
  webError_ = is.readU32();
  userCount_ = is.readU32();
  mode_ = is.readU8();
}

} // namespace zav
