#include "tx/TXClipboardWindow.h"

#include "plat/BoolParameter.h"
#include "plat/LogWriter.h"
#include "plat/MBuf.h"
#include "plat/Utf8.h"

#include <X11/Xatom.h>

#include <cstring>

static plat::LogWriter vlog("TXClipboardWindow");

static plat::BoolParameter useCutBuffer("UseCutBuffer",
                                        "Use the cut buffer as well as the X selections", false);

// A fetch that gets no answer is given up after this long.
static const int fetchTimeoutMs = 5000;

TXClipboardWindow::TXClipboardWindow(Display* dpy, Callback* callback)
    : TXWindow(dpy, 1, 1, nullptr, 0), callback_(callback), timer_(this), latestTime_(0),
      chosenSelection_(0), length_(0), initialFetch_(true), someTimestamp_(false),
      mustAcquire_(false), names_(), nextName_(0) {
  requestSelection(0, 0);
}

TXClipboardWindow::~TXClipboardWindow() {
  timer_.stop();
  for (char* name : names_)
    if (name)
      XFree(name);
}

const char* TXClipboardWindow::atomName(Atom atom) {
  char*& slot = names_[nextName_];
  nextName_ = (nextName_ + 1) % 4;
  if (slot)
    XFree(slot);
  slot = atom ? XGetAtomName(dpy_, atom) : nullptr;
  return slot ? slot : "None";
}

void TXClipboardWindow::requestSelection(Atom selection, Time time) {
  if (timer_.isStarted())
    return;
  bool primary = callback_->sendPrimary();
  if (selection == 0)
    selection = callback_->sendPrimary() ? XA_PRIMARY : xaCLIPBOARD;
  else if (!(selection == xaCLIPBOARD || (selection == XA_PRIMARY && primary)))
    return;

  if (ownsSelection(selection)) {
    finishFetch();
    return;
  }
  timer_.start(fetchTimeoutMs);
  if (time != 0) {
    latestTime_ = time;
    convertSelection(selection, xaTARGETS, xaTARGETS, CurrentTime);
  } else {
    chosenSelection_ = 0;
    someTimestamp_ = false;
    convertSelection(selection, xaTIMESTAMP, xaTIMESTAMP, CurrentTime);
  }
}

void TXClipboardWindow::store(int length, const char* utf8) {
  text_.reset();
  length_ = 0;
  if (length > 0) {
    text_.reset(new char[size_t(length)]);
    memcpy(text_.get(), utf8, size_t(length));
    length_ = length;
  }
}

void TXClipboardWindow::setCutText(int length, const char* utf8) {
  store(length, utf8);
  mustAcquire_ = true;
}

void TXClipboardWindow::acquireSelections(Time time) {
  if (length_ == 0 || !mustAcquire_)
    return;
  mustAcquire_ = false;
  vlog.debug("acquiring primary and clipboard selections");
  storeCutBuffer(length_, text_.get());
  ownSelection(XA_PRIMARY, time);
  ownSelection(xaCLIPBOARD, time);
  latestTime_ = time;
}

bool TXClipboardWindow::selectionRequest(Window requestor, Atom, Atom target, Atom property) {
  if (length_ > 0)
    setSelectionProperty(requestor, property, target, length_, text_.get());
  return true;
}

bool TXClipboardWindow::timerCallback(plat::Timer*) {
  return false;
}

void TXClipboardWindow::finishFetch() {
  initialFetch_ = false;
  timer_.stop();
}

void TXClipboardWindow::selectionNotify(XSelectionEvent* event, Atom type, int format, int nitems,
                                        const unsigned char* data) {
  bool finished = false;
  if (event->target == xaTIMESTAMP)
    finished = timestampStep(event, format, nitems, data);
  else if (event->target == xaTARGETS)
    finished = targetsStep(event, format, nitems, data);
  else if (event->target == xaUTF8_STRING || event->target == XA_STRING)
    finished = textStep(event, type, format, nitems, data);
  if (finished)
    finishFetch();
}

bool TXClipboardWindow::timestampStep(XSelectionEvent* event, int format, int nitems,
                                      const unsigned char* data) {
  if (event->property != xaTIMESTAMP) {
    vlog.debug("no %s selection timestamp", atomName(event->selection));
  } else if (format == 32 && data && nitems == 1) {
    // Format-32 data comes from Xlib as longs.
    Time t = Time(uint32_t(reinterpret_cast<const long*>(data)[0]));
    bool later = t != 0 && (latestTime_ == 0 || t > latestTime_);
    vlog.debug("%s selection time is %d, later %d", atomName(event->selection), int(t), int(later));
    if (t != 0) {
      someTimestamp_ = true;
      if (later) {
        latestTime_ = t;
        chosenSelection_ = event->selection;
      }
    }
  }

  if (event->selection == XA_PRIMARY) {
    if (!ownsSelection(xaCLIPBOARD)) {
      convertSelection(xaCLIPBOARD, xaTIMESTAMP, xaTIMESTAMP, event->time);
      return false;
    }
  } else if (event->selection != xaCLIPBOARD) {
    vlog.error("unknown selection %d", int(event->selection));
    return false;
  }

  if (initialFetch_ && someTimestamp_)
    return true;

  if (useCutBuffer) {
    bool later = cutBufferTime != 0 && (latestTime_ == 0 || cutBufferTime > latestTime_);
    vlog.debug("cut buffer time is %d, later %d", int(cutBufferTime), int(later));
    if (later) {
      latestTime_ = cutBufferTime;
      int n = 0;
      char* bytes = XFetchBytes(dpy_, &n);
      if (bytes) {
        vlog.debug("using X cut buffer string");
        plat::MBuf<unsigned char> utf8;
        plat::latin1BufToUtf8(n, reinterpret_cast<const unsigned char*>(bytes), utf8);
        XFree(bytes);
        newText(utf8.size(), reinterpret_cast<const char*>(utf8.data()));
        return true;
      }
    }
  }

  Atom selection = chosenSelection_;
  if (!selection) {
    if (someTimestamp_) {
      vlog.debug("selections were old; ignoring");
      return true;
    }
    selection = callback_->sendPrimary() ? XA_PRIMARY : xaCLIPBOARD;
  }
  convertSelection(selection, xaTARGETS, xaTARGETS, CurrentTime);
  return false;
}

bool TXClipboardWindow::targetsStep(XSelectionEvent* event, int format, int nitems,
                                    const unsigned char* data) {
  Atom target = XA_STRING;
  if (event->property == xaTARGETS && format == 32 && data && nitems >= 1) {
    const long* targets = reinterpret_cast<const long*>(data);
    for (int i = 0; i < nitems; i++)
      if (Atom(targets[i]) == xaUTF8_STRING)
        target = xaUTF8_STRING;
  }
  convertSelection(event->selection, target, xaSELECTION_STRING, CurrentTime);
  return false;
}

bool TXClipboardWindow::textStep(XSelectionEvent* event, Atom, int format, int nitems,
                                 const unsigned char* data) {
  if (event->property != xaSELECTION_STRING || !data || format != 8)
    return true;
  // While this window owns the selection its stored text is the newest: an
  // answer now is either that text served back or a slow former owner's
  // answer to a request made before the server's text came, which must not
  // replace it.
  if (ownsSelection(event->selection)) {
    vlog.debug("ignoring %s selection text: this window owns it", atomName(event->selection));
    return true;
  }
  vlog.debug("using %s selection as %s", atomName(event->selection), atomName(event->target));
  if (event->target == XA_STRING) {
    plat::MBuf<unsigned char> utf8;
    plat::latin1BufToUtf8(nitems, data, utf8);
    newText(utf8.size(), reinterpret_cast<const char*>(utf8.data()));
  } else {
    newText(nitems, reinterpret_cast<const char*>(data));
  }
  return true;
}

void TXClipboardWindow::newText(int length, const char* utf8) {
  if (length == length_ && (length == 0 || memcmp(utf8, text_.get(), size_t(length)) == 0)) {
    vlog.debug("filtering out duplicate cut text");
    return;
  }
  store(length, utf8);
  mustAcquire_ = false;
  if (!initialFetch_)
    callback_->clipboardChanged(length, utf8);
}
