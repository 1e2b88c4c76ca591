// What the desktop user is told about the server: its mode, whether viewer
// and web connections are accepted and where, why a listener failed, the
// host's addresses, the users connected, the authentication in force and the
// key signature. It builds the window title, the tooltip, the icon states and
// the marked-up summary and details texts with numbered links, and it acts on
// a clicked link through its HLCallback, which the window that shows the text
// implements and owns. It can write itself to a byte stream as one record and
// read itself back. Every text it holds is its own.
#pragma once

#include "plat/MarkUp.h"
#include "plat/String.h"

#include <cstdint>
#include <vector>

namespace crypto {
class RsaKey;
}
namespace rdr {
class InStream;
class OutStream;
} // namespace rdr

namespace zav {

class ServerStatus : public plat::MarkUp::LinkCallback {
public:
  // What the window that shows the texts can do, and where clicked links go.
  class HLCallback {
  public:
    enum Capability {
      _showPopup = 0x01, // "details", "what is this?", "show all", "IPv6 info"
      _copy = 0x02,      // "copy" beside the address and the URL
      _options = 0x10,   // "Options..." inside popups and listener texts
      _users = 0x20,     // "details" of the connected users
      _test = 0x40,      // "test" beside the address
    };

    virtual ~HLCallback() = default;
    // A set of Capability bits.
    virtual unsigned getCapabilities() = 0;
    // Shows a titled explanation; the text is mark-up.
    virtual void showPopup(const char* title, const char* markup) = 0;
    virtual void copyText(const char* text) = 0;
    // Opens a web address. The status texts offer no link for it; windows
    // that show an address as a link use it.
    virtual void openUrl(const char* url) = 0;
    // The name of the program that holds the local port, or null.
    virtual plat::String portOwner(int port) = 0;
    // The link number that asked for the action is passed on.
    virtual void showOptions(int link) = 0;
    virtual void showUsers(int link) = 0;
    virtual void runTest(int link) = 0;
  };

  // callback is not owned and may be null.
  explicit ServerStatus(HLCallback* callback = nullptr);
  ~ServerStatus() override;

  // Acts on a link of the texts below: a popup through the callback, or one
  // of its actions. Links 4 and 5 need a callback with _showPopup (fatal
  // assertion otherwise); other numbers do nothing.
  void linkClicked(int link) override;
  // The status record, big-endian; texts longer than 255 bytes are cut.
  virtual void write(rdr::OutStream& os);
  // Reads a record; a record cut short throws from the stream, and the
  // fields read before keep their new values.
  virtual void read(rdr::InStream& is);

  void setHLCallback(HLCallback* callback) { callback_ = callback; }
  void setRfbPort(unsigned port) { rfbPort_ = port; }
  void setRfbListenerError(unsigned error) { rfbError_ = error; }
  void setWebPort(unsigned port) { webPort_ = port; }
  void setWebListenerError(unsigned error) { webError_ = error; }
  void setUserCount(unsigned count) { userCount_ = count; }
  void setMode(unsigned mode) { mode_ = mode; }
  void setNoActionLinks(bool flag) { noActionLinks_ = flag; }
  void setTrayIconSetting(unsigned value) { trayIconSetting_ = value; }

  // From the server's "has a password" status and its UserPasswdVerifier
  // list (null: neither flag); only the list's first entry counts.
  void setSecurity(bool hasPassword, const char* verifierList);
  // An empty text counts as none.
  void setKeySignature(const char* signature);
  // The signature of the key; no key, or a failing computation, gives none.
  void setKeySignature(const crypto::RsaKey* key);
  // Copies of the addresses, each without its IPv6 zone ("%eth0").
  void setAddresses(const std::vector<plat::String>& addresses);
  // Whether IPv6 is among the transports while the Hosts filter does not
  // accept every address.
  void setFilterBlocksIPv6(const char* hosts, const char* transports);

  // "Service-Mode", "User-Mode", "Virtual-Mode" for 1 to 3, else null.
  static const char* modeName(unsigned mode);
  // "Zav Server (<mode>)"; the text lives until the next title or tooltip.
  const char* updateTitle();
  // The title followed by the addresses, one per line or on one line; the
  // text lives until the next title or tooltip.
  const char* tooltipText(bool multiLine);
  bool hasProblem(bool includeWeb) const;
  // The status window's icon: 0 working, 2 not accepting or unprotected, 3
  // a problem.
  int level() const;
  // The tray icon: 0 normal, 1 users connected, 2 not accepting
  // connections, 3 a problem, 4 hidden.
  int trayIconState() const;
  // The first address with the viewer port ("host", "host:N", "host::port"),
  // or null when there is no address or the listener failed.
  plat::String rfbAddress() const;
  // "http://" and the first address with the web port, or null.
  plat::String webAddress() const;

  // The marked-up texts; links appear only as the callback's capabilities
  // allow.
  plat::String summaryMarkup() const;
  plat::String detailsMarkup() const;
  // Why a listener ("Zav Viewer" or "web browser") does not accept
  // connections.
  plat::String listenerProblemText(const char* name, unsigned error, unsigned port) const;

  bool getPasswordNotSet() const { return passwordNotSet_; }
  bool getNoAuthentication() const { return noAuthentication_; }
  bool getIpv6Filtered() const { return ipv6Filtered_; }
  bool getNoActionLinks() const { return noActionLinks_; }
  unsigned getTrayIconSetting() const { return trayIconSetting_; }
  const char* getKeySignature() const { return keySignature_.get(); }
  const std::vector<plat::String>& getAddresses() const { return addresses_; }
  unsigned getRfbPort() const { return rfbPort_; }
  unsigned getWebPort() const { return webPort_; }
  unsigned getRfbError() const { return rfbError_; }
  unsigned getWebError() const { return webError_; }
  unsigned getUserCount() const { return userCount_; }
  unsigned getMode() const { return mode_; }

private:
  bool can(unsigned capability) const;
  void popup(const char* title, const char* markup);

  HLCallback* callback_;
  bool passwordNotSet_ = false;
  bool noAuthentication_ = false;
  bool ipv6Filtered_ = false;
  bool noActionLinks_ = false;
  std::uint32_t trayIconSetting_ = 0;
  plat::String keySignature_;
  std::vector<plat::String> addresses_;
  std::uint32_t rfbPort_ = 0;
  std::uint32_t webPort_ = 0;
  std::uint32_t rfbError_ = 0;
  std::uint32_t webError_ = 0;
  std::uint32_t userCount_ = 0;
  std::uint32_t mode_ = 0;
  plat::String title_;
};

} // namespace zav
