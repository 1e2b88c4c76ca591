// The status window's handler of the links in its status texts: explanations
// open in an information window next to the status text (a link inside one
// is handled like a link in the status text), "Options..." closes the
// explanation and opens the options dialog, the number of users the
// connections dialog, and "test" the connection test in a dialog of its own.
// The explanation window and the connection test dialog are owned; the
// window, the explanation's owner widget, the link receiver, the status
// callback and the socket manager are not.
#pragma once

#include "serverconfig/ConnTestDialog.h"

#include "ui/InfoWindow.h"
#include "zav/status/ServerStatus.h"

namespace serverconfig {

class ServerStatusHLCallback : public zav::ServerStatus::HLCallback {
public:
  // What the status window does for the links.
  class Window {
  public:
    virtual ~Window() = default;
    virtual void showOptions() = 0;
    // Shows the status window's connections dialog.
    virtual void showConnections() = 0;
  };

  // The width at which explanations wrap.
  static const int explanationWidth = 340;

  // explanationOwner is the status window's root layout, next to which
  // explanations open; links is where the links inside them go (the status
  // window's model). serviceHost and servicePort name the connection test's
  // service (tests give a loopback stand-in).
  ServerStatusHLCallback(Window* window, Display* dpy, wvw::Widget* explanationOwner,
                         plat::MarkUp::LinkCallback* links, StatusDialog::Callback* status,
                         net::SocketManager* mgr,
                         const char* serviceHost = zav::ConnectionTest::testHost,
                         int servicePort = zav::ConnectionTest::servicePort);
  ~ServerStatusHLCallback() override;

  // Explanations, "Options...", connected users and the test; no copy links.
  unsigned getCapabilities() override;
  // One explanation at a time: a new one replaces the title and text.
  void showPopup(const char* title, const char* markup) override;
  void copyText(const char*) override {}
  void openUrl(const char*) override {}
  // Never known: the status text then names "another program".
  plat::String portOwner(int port) override;
  // Closes the explanation first.
  void showOptions(int link) override;
  void showUsers(int link) override;
  void runTest(int link) override;

  ui::InfoWindow& explanation() { return explanation_; }
  ConnTestDialog& connTestDialog() { return connTest; }

private:
  Window* window;
  wvw::Widget* explanationOwner;
  ui::InfoWindow explanation_;
  ConnTestDialog connTest;
};

} // namespace serverconfig
