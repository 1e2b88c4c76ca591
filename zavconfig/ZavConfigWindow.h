// The main window of zavconfig in window mode: the server status window that
// also handles the four events of the server's extension, bridges the
// desktop's clipboard with the server's (through its clipboard window and,
// where the display offers it, XFIXES selection notices), shows the
// connection-query prompt and sends the answer back, and shows the connect
// notices and the error box for the status callback. While it lives, a
// failure that escapes the handler of a window's event is shown in its error
// box and the program goes on. Owns the clipboard
// window, the prompt and the notice popup; the display, the server's
// parameter set and the status callback are not owned.
#pragma once

#include "serverconfig/NotifyConnectDlg.h"
#include "serverconfig/StatusDialog.h"
#include "zavconfig/QueryConnectDialog.h"
#include "zavconfig/StatusDialogCallback.h"

#include "tx/TXClipboardWindow.h"

#include "plat/BoolParameter.h"
#include "plat/IntParameter.h"
#include "plat/ParameterSet.h"
#include "plat/Timer.h"

#include <memory>

namespace zavconfig {

class ZavConfigWindow : public serverconfig::StatusDialog,
                        public QueryResultCallback,
                        public TXClipboardWindow::Callback,
                        public StatusDialogCallback::Windows,
                        public TXWindow::FailureHandler {
public:
  // Clipboard texts longer than this are logged by their start only.
  static const int logPrefixLength = 8;

  ZavConfigWindow(Display* dpy, bool iconic, plat::ParameterSet* serverParams,
                  StatusDialogCallback* statusCallback);
  ~ZavConfigWindow() override;

  void handleEvent(TXWindow* window, XEvent* event) override;
  bool timerCallback(plat::Timer* timer) override;

  // TXClipboardWindow::Callback
  bool sendPrimary() override;
  void clipboardChanged(int length, const char* utf8) override;

  // QueryResultCallback
  void queryResult(zav::Access::Rights rights) override;
  void queryTimedOut() override;

  // StatusDialogCallback::Windows
  void iconify() override;
  void notifyConnect(const StatusDialogCallback::Entry& entry, bool connected,
                     int seconds) override;
  // In the status window's error box.
  void showMessage(const char* text) override;

  // TXWindow::FailureHandler: logged and shown in the error box.
  void handlerFailed(const char* message) override;

  bool xfixesPresent() const { return xfixes_; }
  QueryConnectDialog* queryPrompt() const { return queryPrompt_.get(); }
  serverconfig::NotifyConnectDlg* notices() { return &notices_; }
  TXClipboardWindow* clipboard() { return &clipboard_; }

  // "poll" and "SendPrimary".
  static plat::IntParameter pollTime;
  static plat::BoolParameter sendPrimaryParam;

private:
  void handleExtensionEvent(int number, XEvent* event);
  void selectionChanged(Atom selection, Time time);
  void queryConnect();
  // "QueryTimeoutRights" as rights applied to no rights.
  zav::Access::Rights queryTimeoutRights();
  // The parameter's value; a missing parameter counts as on.
  static bool isOn(plat::ConfigParameter* p) { return !p || p->getValueInt() != 0; }

  TXClipboardWindow clipboard_;
  plat::Timer pollTimer_;
  std::unique_ptr<QueryConnectDialog> queryPrompt_;
  unsigned queryId_ = 0;
  plat::ConfigParameter* acceptCutText_;
  plat::ConfigParameter* sendCutText_;
  StatusDialogCallback* statusCallback_;
  bool xfixes_ = false;
  int xfixesEventBase_ = 0;
  int xfixesErrorBase_ = 0;
  serverconfig::NotifyConnectDlg notices_;
  TXWindow::FailureHandler* previousFailureHandler_;
};

} // namespace zavconfig
