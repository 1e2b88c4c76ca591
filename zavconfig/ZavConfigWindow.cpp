#include "zavconfig/ZavConfigWindow.h"

#include "zavconfig/Main.h"
#include "zavconfig/zavext.h"

#include "tx/xfixes.h"

#include "ft/ui/FileTransferDialog.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/unix/AppInit.h"

#include <X11/Xatom.h>

static plat::LogWriter vlog("ZavConfigWindow");

namespace zavconfig {

plat::IntParameter ZavConfigWindow::pollTime("poll",
                                             "How often to poll for clipboard changes in ms", 0);
plat::BoolParameter ZavConfigWindow::sendPrimaryParam(
    "SendPrimary",
    "Send the primary selection to Zav Viewers in preference to the clipboard selection", true);

namespace {

// The selection-owner notice as the XFIXES client library hands it over.
struct SelectionOwnerNotice {
  int type;
  unsigned long serial;
  Bool send_event;
  Display* display;
  Window window;
  int subtype;
  Window owner;
  Atom selection;
  Time timestamp;
  Time selectionTimestamp;
};

// The length of text to log and whether "..." follows it.
int logLength(int length) {
  return length > ZavConfigWindow::logPrefixLength ? ZavConfigWindow::logPrefixLength : length;
}
const char* logEllipsis(int length) {
  return length > ZavConfigWindow::logPrefixLength ? "..." : "";
}

} // namespace

ZavConfigWindow::ZavConfigWindow(Display* dpy, bool iconic, plat::ParameterSet* serverParams,
                                 StatusDialogCallback* statusCallback)
    : serverconfig::StatusDialog(dpy, statusCallback, statusCallback, iconic),
      clipboard_(dpy, this), pollTimer_(this), statusCallback_(statusCallback), notices_(dpy) {
  statusCallback_->setWindows(this);
  acceptCutText_ = serverParams->find("AcceptCutText");
  sendCutText_ = serverParams->find("SendCutText");
  // The options edit the server's parameters; the status callback reads
  // and sends them.
  setOptions(serverParams, statusCallback);
  // A changed fetch folder goes to the per-user configuration file.
  if (fileTransferDialog() && AppInit::instance())
    fileTransferDialog()->setConfigFile(AppInit::instance()->getUserConfigFile());

  if (xfixes::XFixesQueryExtension(dpy, &xfixesEventBase_, &xfixesErrorBase_)) {
    int major = 0, minor = 0;
    xfixes::XFixesQueryVersion(dpy, &major, &minor);
    vlog.status("XFixes extension present - version %d.%d", major, minor);
    xfixes_ = true;
    xfixes::XFixesSelectSelectionInput(dpy, win(), XA_PRIMARY, xfixes::SetSelectionOwnerNotifyMask);
    xfixes::XFixesSelectSelectionInput(dpy, win(), xaCLIPBOARD,
                                       xfixes::SetSelectionOwnerNotifyMask);
  } else {
    vlog.status("XFixes extension not present");
  }
  int mask = zavext::CutTextMask | zavext::QueryConnectMask | zavext::StatusChangeMask;
  if (!xfixes_)
    mask |= zavext::SelectionChangeMask;
  zavext::selectInput(dpy, win(), mask);
  // A negative period is taken as no polling.
  if (pollTime > 0)
    pollTimer_.start(pollTime);
  previousFailureHandler_ = TXWindow::setFailureHandler(this);
}

ZavConfigWindow::~ZavConfigWindow() {
  TXWindow::setFailureHandler(previousFailureHandler_);
  pollTimer_.stop();
  statusCallback_->setWindows(nullptr);
}

void ZavConfigWindow::handleEvent(TXWindow* window, XEvent* event) {
  int number = event->type - zavExtEventBase;
  if (number >= 0 && number <= zavext::StatusChangeNotify) {
    handleExtensionEvent(number, event);
  } else if (xfixes_ && event->type == xfixesEventBase_ + xfixes::XFixesSelectionNotify) {
    const SelectionOwnerNotice* ev = reinterpret_cast<SelectionOwnerNotice*>(event);
    selectionChanged(ev->selection, ev->selectionTimestamp);
  } else {
    TXWParent::handleEvent(window, event);
  }
}

void ZavConfigWindow::handleExtensionEvent(int number, XEvent* event) {
  switch (number) {
  case zavext::CutTextNotify: {
    if (!isOn(acceptCutText_))
      return;
    char* text;
    int length;
    if (!zavext::getClientCutText(dpy_, &text, &length))
      return;
    vlog.debug("Got client cut text: '%.*s%s'", logLength(length), text, logEllipsis(length));
    clipboard_.setCutText(length, text);
    clipboard_.acquireSelections(reinterpret_cast<zavext::CutTextEvent*>(event)->time);
    XFree(text);
    break;
  }
  case zavext::SelectionChangeNotify:
    selectionChanged(reinterpret_cast<zavext::SelectionChangeEvent*>(event)->selection, 0);
    break;
  case zavext::QueryConnectNotify:
    vlog.debug("query connection event");
    queryConnect();
    break;
  case zavext::StatusChangeNotify:
    updateConnections(true);
    updateNetworkStatus(true);
    break;
  }
}

void ZavConfigWindow::selectionChanged(Atom selection, Time time) {
  if (!isOn(sendCutText_))
    return;
  vlog.debug("selection change event, selection %d, timestamp %d", int(selection), int(time));
  clipboard_.requestSelection(selection, time);
}

void ZavConfigWindow::queryConnect() {
  queryPrompt_.reset();
  char* firstText = nullptr;
  char* user = nullptr;
  int timeout = 0;
  if (!zavext::getQueryConnect(dpy_, &firstText, &user, &timeout, &queryId_))
    return;
  if (timeout != 0) {
    zav::Access::Rights rights = queryTimeoutRights();
    queryPrompt_.reset(
        new QueryConnectDialog(dpy_, user, zav::Access::Full, rights, timeout, this));
    queryPrompt_->popUp(-1);
  }
  XFree(firstText);
  XFree(user);
}

zav::Access::Rights ZavConfigWindow::queryTimeoutRights() {
  const char* value = statusCallback_->getParam("QueryTimeoutRights");
  // Letters outside the table are skipped: a bad server value must not cost
  // the prompt.
  return zav::Access::Rights(value ? value : "", true, zav::Access::NoAccess);
}

bool ZavConfigWindow::timerCallback(plat::Timer* timer) {
  if (timer == &pollTimer_) {
    clipboard_.requestSelection(0, 0);
    return true;
  }
  return TXWParent::timerCallback(timer);
}

bool ZavConfigWindow::sendPrimary() {
  return sendPrimaryParam;
}

void ZavConfigWindow::clipboardChanged(int length, const char* utf8) {
  vlog.debug("sending server cut text: '%.*s%s'", logLength(length), utf8, logEllipsis(length));
  zavext::setServerCutText(dpy_, utf8, length);
}

void ZavConfigWindow::queryResult(zav::Access::Rights rights) {
  zavext::approveConnect(dpy_, queryId_, rights.value());
}

void ZavConfigWindow::queryTimedOut() {
  const char* value = statusCallback_->getParam("QueryTimeoutRights");
  if (!value) {
    queryResult(zav::Access::NoAccess);
    return;
  }
  queryResult(zav::Access::Rights(value, true, zav::Access::NoAccess));
}

void ZavConfigWindow::iconify() {
  TXWindow::iconify();
}

void ZavConfigWindow::notifyConnect(const StatusDialogCallback::Entry& entry, bool connected,
                                    int seconds) {
  notices_.notify(entry, connected, seconds);
}

void ZavConfigWindow::showMessage(const char* text) {
  showError(text);
}

void ZavConfigWindow::handlerFailed(const char* message) {
  vlog.error("%s", message);
  // The report must not fail in its turn: at worst it stays in the log.
  try {
    showError(message);
  } catch (plat::Exception& e) {
    vlog.error("%s", e.str());
  }
}

} // namespace zavconfig
