// The server status window: the logo header, an icon and one-line summary of
// the server's state, a "Details" panel with the detailed status text and the
// buttons "About...", "Options..." (or the "Commands" window menu while no
// tray icon is available) and "Close". It keeps the status model filled from
// the server's parameters and status values through its Callback, and the
// tray icon or its own window menu informed through the current
// IconCallback, which also hears when a viewer's file transfer comes or goes.
// It opens the options dialog (whose owner callback it is), the connections
// dialog (whose model gives the user count), the connect-to-viewer dialog,
// the file-transfer dialog and, once given a socket manager, acts on the
// links of its status texts.
// Those dialogs, the window menu, the About dialog and the two message
// boxes are owned; the callbacks, the file-transfer extension, the options'
// parameter set, the socket manager and the display are not.
// Texts that the callback returns belong to it.
#pragma once

#include "serverconfig/ConnectionsList.h"
#include "serverconfig/OptionsDialog.h"

#include "ft/Extension.h"
#include "net/AddressChangeCallback.h"
#include "tx/TXDialog.h"
#include "tx/TXMsgBox.h"
#include "ui/AboutDialog.h"
#include "ui/LogoHeader.h"

#include "plat/BoolParameter.h"
#include "plat/String.h"
#include "plat/unix/PrimaryIp4.h"
#include "wvw/WImage.h"
#include "wvw/WInputHandler.h"
#include "wvw/WLabelButton.h"
#include "wvw/WLabelMarkedUp.h"
#include "wvw/WPanel.h"
#include "zav/status/ServerStatus.h"

#include <memory>
#include <string>

namespace ft {
class ActiveShareAutoDownloader;
class FileTransferDialog;
class UploadManager;
} // namespace ft

namespace net {
class SocketManager;
} // namespace net

namespace serverconfig {

class ConnectionsDialog;
class DummyStatusIcon;
class ServerStatusHLCallback;
class StatusWindowActions;
class ViewerConnector;

class StatusDialog : public TXDialog,
                     public wvw::WInputHandler,
                     public TXDialog::Callback,
                     public ft::Extension::PeerCallback,
                     public net::AddressChangeCallback,
                     public OptionsDialog::Callback {
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

  // Texts of the two message boxes.
  static const char* const guestLoginNotSupportedText;

  // "QuitOnCloseStatusDialog".
  static plat::BoolParameter quitOnClose;

  // The window is made (not mapped) and filled from the server; its texts
  // are shown once it is attached to its window.
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
  // The icon that hears of the server's state from now on; null means the
  // window's own "Commands" menu.
  void setIconCallback(IconCallback* callback);
  // Whether a tray icon is shown: the button row offers "Options..." when
  // it is, the "Commands" menu when not.
  void setTrayAvailable(bool available);
  // Turns the server's "EnableGuestLogin" over; turning it on where the
  // server has no "GuestAccess" tells the user that guest login is not
  // supported.
  void toggleGuestLogin();
  // De-iconifies the window and brings it up in front.
  void showStatus();
  // The dialogs reached from the window. Without a file-transfer stream
  // "File Transfer..." shows an error; without options "Options..." is
  // disabled and its command only logged.
  virtual void openAddClientDialog();
  virtual void showFileTransfer();
  virtual void showOptions();
  void showConnections();
  // Builds the options dialog over the server's parameters (the working
  // set, not owned) and enables "Options..."; server reads and applies
  // them. A set that lacks a parameter of the pages is logged and leaves
  // the options unavailable.
  void setOptions(plat::ParameterSet* params, OptionsDialog::Callback* server);
  // The links of the status texts act from now on; the connection test
  // runs over mgr (not owned).
  void enableLinks(net::SocketManager* mgr);
  void showAbout();
  void disconnectAll();
  void openChat();
  // Shows the text in the error box (error icon, "OK"); the window takes no
  // input until the box is closed.
  void showError(const char* text);

  // Where the primary IPv4 address is asked for (a script whose first
  // output line is the address); the system's script until set.
  void setPrimaryAddressScript(const char* path) { primaryAddressScript_ = path; }

  bool onClick(wvw::Widget* source) override;
  // The window's layout is given its parent: everything is read again and
  // shown.
  bool onAttach(wvw::Widget* source) override;
  // The host's addresses changed: the listener state and the texts follow.
  void addressChanged(net::SocketListener* listener) override;
  void deleteWindow(TXWindow* window) override;
  void dialogFinished(TXDialog* dialog, bool result) override;
  // A viewer's file transfer came or went: the icon's commands follow.
  void peerChanged(ft::ConnectionId connection, bool enabled) override;

  // OptionsDialog::Callback: through the options' server, then the window
  // shows the new state.
  void applyOptions(plat::ParameterSet* changed, plat::ParameterSet* server) override;
  const char* getStatusParam(const char* name) override;
  void reloadParams(plat::ParameterSet* set) override;
  unsigned getMode() override;

  // What the tray icon does to this window.
  StatusWindowActions& iconActions() { return *actions_; }

protected:
  // Null without a file-transfer stream.
  ft::FileTransferDialog* fileTransferDialog() { return ftDialog_.get(); }

  Callback* callback_;

private:
  friend class StatusWindowActions;
  // The tests' look at the model, the owned dialogs and the widgets.
  friend class StatusDialogProbe;
  class LinkActions;

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

  ConnectionsList& connections();
  void layOut();
  // The middle button of the row: "Options..." or the window menu's.
  wvw::Widget* middleButton();
  // Shows an owned message box; the window's input waits for its end.
  void showBox(TXMsgBox* box);

  NoLinks links_;
  zav::ServerStatus model_;
  std::unique_ptr<ConnectionsDialog> connectionsDialog_;
  std::unique_ptr<StatusWindowActions> actions_;
  ui::LogoHeader header_;
  wvw::WImage cross_, tick_, warning_;
  wvw::WLabelMarkedUp summaryLabel_;
  wvw::WPanel details_;
  wvw::WLabelMarkedUp detailsLabel_;
  wvw::WLabelButton aboutButton_, optionsButton_, close_;
  // The window menu, the current icon callback until a tray icon registers.
  std::unique_ptr<DummyStatusIcon> windowMenu_;
  IconCallback* iconCallback_ = nullptr;
  bool trayAvailable_ = false;
  std::string primaryAddressScript_ = os::primaryIp4Script;

  // The dialogs reached from this window. The file-transfer dialog goes
  // before its auto-downloader.
  OptionsDialog::Callback* optionsServer_ = nullptr;
  std::unique_ptr<OptionsDialog> options_;
  // Why the options dialog could not be built, for the box "Options..."
  // shows instead.
  std::string optionsFailure_;
  std::unique_ptr<ViewerConnector> viewerConnector_;
  std::unique_ptr<ft::ActiveShareAutoDownloader> autoDownloader_;
  std::unique_ptr<ft::FileTransferDialog> ftDialog_;
  std::unique_ptr<LinkActions> linkActions_;
  std::unique_ptr<ServerStatusHLCallback> hlCallback_;

  ui::AboutDialog about_;
  TXMsgBox errorBox_;
  TXMsgBox guestLoginBox_;
};

} // namespace serverconfig
