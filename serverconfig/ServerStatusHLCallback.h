// The status window's handler of the links in its status texts: explanations
// go to the window's explanation popup, "Options..." opens the options
// dialog, the number of users the connections dialog, and "test" the
// connection test in a dialog of its own, which this handler owns. The
// window, the status callback and the socket manager are not owned.
#pragma once

#include "serverconfig/ConnTestDialog.h"

#include "zav/status/ServerStatus.h"

namespace serverconfig {

class ServerStatusHLCallback : public zav::ServerStatus::HLCallback {
public:
  // What the status window does for the links.
  class Window {
  public:
    virtual ~Window() = default;
    // Shows one explanation next to the status text, replacing the last.
    virtual void showExplanation(const char* title, const char* markup) = 0;
    virtual void hideExplanation() = 0;
    virtual void showOptions() = 0;
    virtual void showConnections() = 0;
    // Shows the connection test dialog's content in its window.
    virtual void showConnTest(ConnTestDialog* dialog) = 0;
  };

  ServerStatusHLCallback(Window* window, StatusDialog::Callback* status, net::SocketManager* mgr);
  ~ServerStatusHLCallback() override;

  // Explanations, "Options...", connected users and the test; no copy links.
  unsigned getCapabilities() override;
  void showPopup(const char* title, const char* markup) override;
  void copyText(const char*) override {}
  void openUrl(const char*) override {}
  // Never known: the status text then names "another program".
  plat::String portOwner(int port) override;
  // Closes the explanation first.
  void showOptions(int link) override;
  void showUsers(int link) override;
  void runTest(int link) override;

  ConnTestDialog& connTestDialog() { return connTest; }

private:
  Window* window;
  ConnTestDialog connTest;
};

} // namespace serverconfig
