#include "tx/TXDialog.h"

#include "plat/Assert.h"
#include "plat/Exception.h"
#include "plat/Time.h"
#include "plat/TimerManager.h"
#include "plat/unix/EndSignal.h"

#include <sys/select.h>

#include <algorithm>
#include <cerrno>
#include <exception>

TXDialog::TXDialog(Display* dpy, int width, int height, const char* title, bool modal, bool centre,
                   TXWindow* transientFor)
    : TXWParentDecorated(dpy), done_(false), result_(false), modal_(modal), centre_(centre),
      decorationsChanging_(false), transientFor_(transientFor), transientForWin_(0),
      callback_(nullptr), reported_(false), inModalLoop_(false) {
  if (transientFor) {
    transientForWin_ = transientFor->win();
    XSetTransientForHint(dpy_, win_, transientForWin_);
  }
  setChild(&content_);
  setContentSize(width, height);
  setupToplevel(title, this);
  if (centre_)
    centreOnScreen();
}

TXDialog::~TXDialog() {
  if (mapped_)
    TXWParent::unmap();
  setChild(nullptr);
}

void TXDialog::setContentSize(int width, int height) {
  int oldWidth = width_, oldHeight = height_;
  TXWParentDecorated::setContentSize(width, height);
  if (centre_ && (width_ != oldWidth || height_ != oldHeight) && !decorationsChanging_)
    centreOnScreen();
}

// A window the window manager manages is raised and activated instead: a
// window manager that sees it unmapped withdraws it, and may do so only
// after it has seen the new map request, which leaves the dialog unmapped.
void TXDialog::map() {
  if (mapped_ && managed_) {
    XRaiseWindow(dpy_, win_);
    activate();
    return;
  }
  if (mapped_)
    TXWParent::unmap();
  TXWParent::map();
}

void TXDialog::deleteWindow(TXWindow*) {
  endDialog(false);
}

void TXDialog::closeClicked() {
  deleteWindow(this);
}

void TXDialog::endDialog(bool result) {
  result_ = result;
  done_ = true;
  TXWParent::unmap();
  // A modal loop tells the callback itself once it has left the dialog's
  // events behind.
  if (!inModalLoop_)
    reportFinished();
}

void TXDialog::reportFinished() {
  if (reported_ || !callback_)
    return;
  reported_ = true;
  callback_->dialogFinished(this, result_);
}

bool TXDialog::showWithDecorations(bool decorate) {
  if (decorate && !isDecorated())
    addDecorations();
  return show();
}

void TXDialog::setDecorations(bool decorate) {
  if (decorate == isDecorated())
    return;
  bool shown = mapped_;
  if (shown) {
    TXWParent::unmap();
    if (isManaged())
      waitReleasedByManager();
  }
  if (decorate)
    addDecorations();
  else
    removeDecorations();
  if (shown) {
    XRaiseWindow(dpy_, win_);
    map();
  }
}

namespace {

// Waits up to ms milliseconds (-1: without limit) for input on the X
// connection fd; false when none came in time. Throws os::EndSignal::Ended
// as soon as the program is asked to end.
bool waitForInput(int fd, int ms) {
  for (;;) {
    fd_set rfds;
    FD_ZERO(&rfds);
    FD_SET(fd, &rfds);
    int endFd = os::EndSignal::fd();
    if (endFd >= 0)
      FD_SET(endFd, &rfds);
    timeval tv;
    int n =
        select(std::max(fd, endFd) + 1, &rfds, nullptr, nullptr, plat::timerSelectTimeout(ms, &tv));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      throw plat::SystemException("select", errno);
    if (endFd >= 0 && FD_ISSET(endFd, &rfds))
      throw os::EndSignal::Ended();
    return n > 0;
  }
}

} // namespace

bool TXDialog::show() {
  PLAT_CHECK(!inModalLoop_);
  done_ = false;
  result_ = false;
  reported_ = false;
  if (!modal_) {
    initDialog();
    XRaiseWindow(dpy_, win_);
    map();
    return true;
  }

  // Timers started while the dialog runs (repaints) run here; those of the
  // main loop wait.
  plat::TimerManager timers;
  inModalLoop_ = true;
  struct LoopFlag {
    bool& flag;
    ~LoopFlag() { flag = false; }
  } loopFlag{inModalLoop_};

  initDialog();
  XRaiseWindow(dpy_, win_);
  map();
  int fd = ConnectionNumber(dpy_);
  for (;;) {
    // A request to end the program leaves the loop however busy it is.
    os::EndSignal::check();
    TXWindow::handleXEvents(dpy_, this);
    if (done_) {
      if (mapped_)
        TXWParent::unmap();
      bool result = result_;
      reportFinished();
      return result;
    }
    int t = 0;
    runReportingFailure([&] { t = timers.processTimers(); });
    // Timers may have read events into Xlib's queue, where select() does
    // not see them.
    if (XPending(dpy_))
      continue;
    waitForInput(fd, t);
  }
}

void TXDialog::mapAndWaitForExpose() {
  initDialog();
  XRaiseWindow(dpy_, win_);
  map();
  XFlush(dpy_);
  int fd = ConnectionNumber(dpy_);
  for (;;) {
    XEvent ev;
    if (XCheckWindowEvent(dpy_, win_, ~0L, &ev)) {
      handleXEvent(&ev, nullptr);
      if (ev.type == Expose) {
        XFlush(dpy_);
        return;
      }
      continue;
    }
    if (!waitForInput(fd, 100))
      return;
    // Reads what arrived into Xlib's queue.
    XPending(dpy_);
  }
}
