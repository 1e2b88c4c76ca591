// The server status window: a title, an icon and one-line summary of the
// server's state, a "Details" panel with the detailed status text and a
// button row. It keeps the status model filled from the server's parameters
// and status values through its Callback, and the tray icon (or its own
// fallback "Commands" menu button, which it owns and reports to while no tray
// icon is embedded) informed through its IconCallback. The connections model
// is owned; the callbacks, the tray icon and the display are not. Texts that
// the callback returns belong to it.
#pragma once

#include "serverconfig/ConnectionsList.h"
#include "serverconfig/FilledLayout.h"

#include "tx/TXWParent.h"

#include "plat/String.h"
#include "wvw/WImage.h"
#include "wvw/WLabelButton.h"
#include "wvw/WLabelMarkedUp.h"
#include "wvw/WLayout.h"
#include "wvw/WPanel.h"
#include "zav/status/ServerStatus.h"

#include <memory>

namespace serverconfig {
class DummyStatusIcon;
class StatusIconWindow;
} // namespace serverconfig

namespace ft {
class Extension;
class UploadManager;
} // namespace ft

namespace serverconfig {

class StatusDialog : public TXWParent, public wvw::WInputHandler, public TXDeleteWindowCallback {
public:
  class Callback {
  public:
    virtual ~Callback() = default;
    // Sets a server parameter.
    virtual void setParam(const char* name, const char* value) = 0;
    // A server parameter's value, valid until the next call, or null when
    // the server has none.
    virtual const char* getParam(const char* name) = 0;
    // A status value of the server ("is_module", "ip_addrs",
    // "total_connections" ...), valid until the next call, or null.
    virtual const char* getStatusParam(const char* name) = 0;
    // Connects the server to a listening viewer at host[:port]; throws
    // plat::Exception when the server refuses.
    virtual void connectToViewer(const char* address) = 0;
    // Drops every viewer; false when the server refused.
    virtual bool disconnectAll() = 0;
    virtual void iconify() = 0;
    // Shows the chat window; a failure is shown to the user, not thrown.
    virtual void openChat() = 0;
    // The file-transfer objects, not owned; null when there are none.
    virtual ft::Extension* getFtExtension() = 0;
    virtual ft::UploadManager* getUploadManager() = 0;
  };

  class IconCallback {
  public:
    virtual ~IconCallback() = default;
    virtual void setTooltip(const char* text) = 0;
    virtual void enableGuestLogin(bool enable) = 0;
    virtual void tickGuestLogin(bool tick) = 0;
    // 0 normal, 1 users connected, 2 not accepting connections, 3 a
    // problem, 4 hidden.
    virtual void setIcon(unsigned state) = 0;
    // Hides or iconifies the status window when it is closed.
    virtual void checkVisibility() = 0;
    virtual void enableFileTransfer(bool enable) = 0;
    virtual void enableChat(bool enable) = 0;
  };

  // The window is made (not mapped) and filled from the server.
  StatusDialog(Display* dpy, Callback* callback, ConnectionsList::Callback* connectionsCallback,
               bool iconic);
  ~StatusDialog() override;

  // The listener state, the tooltip, then the texts when asked.
  void updateNetworkStatus(bool refresh);
  // Re-reads the connections (which tells their callback of the changes).
  void updateConnections(bool refresh);
  void updateKeySignature(bool refresh);
  void updateSecurity(bool refresh);
  void refreshAll(bool refresh);
  // The summary, the details, the state icon and the layout.
  void refreshTexts();
  void refreshIcon();
  void updateTooltip();
  // The icon the window reports to from now on; null means its own fallback
  // "Commands" menu, with which it starts.
  void setIconCallback(IconCallback* callback);
  IconCallback* iconCallback() const { return iconCallback_; }
  DummyStatusIcon* fallbackIcon() { return fallbackIcon_.get(); }
  // What the tray icon's messages act on.
  StatusIconWindow* iconWindow() { return iconWindow_.get(); }
  // While a tray icon is embedded the button row offers "Options...",
  // otherwise the fallback's "Commands" menu button.
  void setTrayIconEmbedded(bool embedded);
  bool trayIconEmbedded() const { return trayIconEmbedded_; }

  // The commands of the tray menu and of the "Commands" menu.
  // De-iconifies the window and brings it up in front.
  void showStatus();
  // Puts the window away through the callback (iconifies it).
  void putAway();
  // Toggles the server's "EnableGuestLogin" and refreshes the icon state.
  void setGuestLogin();
  void disconnectAll();
  void showChat();
  // The dialogs that the status window does not hold yet: the commands are
  // logged and do nothing.
  virtual void showFileTransfer();
  virtual void openAddClientDialog();
  virtual void showOptions();

  bool onClick(wvw::Widget* source) override;
  void deleteWindow(TXWindow* window) override;

  zav::ServerStatus& model() { return model_; }
  const ConnectionsList& connections() const { return connections_; }
  const char* summaryText() { return summaryLabel_.getText(); }
  const char* detailsText() { return detailsLabel_.getText(); }

protected:
  Callback* callback_;

private:
  // The status texts' links that this window can act on: none yet.
  class NoLinks : public zav::ServerStatus::HLCallback {
  public:
    unsigned getCapabilities() override { return 0; }
    void showPopup(const char*, const char*) override {}
    void copyText(const char*) override {}
    void openUrl(const char*) override {}
    plat::String portOwner(int) override { return plat::String(); }
    void showOptions(int) override {}
    void showUsers(int) override {}
    void runTest(int) override {}
  };

  void layOut();
  // "Options..." or the fallback's "Commands" menu button.
  wvw::Widget* middleButton();

  NoLinks links_;
  zav::ServerStatus model_;
  ConnectionsList connections_;
  IconCallback* iconCallback_ = nullptr;
  bool trayIconEmbedded_ = false;
  FilledLayout layout_;
  wvw::WLabelMarkedUp header_;
  wvw::WImage cross_, tick_, warning_;
  wvw::WLabelMarkedUp summaryLabel_;
  wvw::WPanel details_;
  wvw::WLabelMarkedUp detailsLabel_;
  wvw::WLabelButton options_;
  wvw::WLabelButton close_;
  std::unique_ptr<StatusIconWindow> iconWindow_;
  std::unique_ptr<DummyStatusIcon> fallbackIcon_;
};

} // namespace serverconfig
