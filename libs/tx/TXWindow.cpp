#include "tx/TXWindow.h"

#include "tx/XErrorTrap.h"

#include "plat/Assert.h"
#include "plat/BoolParameter.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/MBuf.h"
#include "plat/Time.h"
#include "plat/Utf8.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

static plat::LogWriter vlog("TXWindow");

static plat::BoolParameter useOwnCmap("owncmap",
                                      "Use a private colormap rather than the default one, to "
                                      "prevent other applications of being starved of colours.",
                                      false);

Atom wmProtocols, wmDeleteWindow, wmTakeFocus, wmChangeState, xaTIMESTAMP, xaTARGETS,
    xaSELECTION_STRING, xaCLIPBOARD, xaINCR, xa_NET_WM_NAME, xa_NET_WM_ICON, xa_NET_WM_ICON_NAME,
    xaUTF8_STRING, xa_NET_ACTIVE_WINDOW;

Colormap TXWindow::cmap = 0;
GC TXWindow::defaultGC = nullptr;
XFontStruct* TXWindow::defaultFS = nullptr;
Font TXWindow::defaultFont = 0;
unsigned long TXWindow::black, TXWindow::white, TXWindow::defaultFg, TXWindow::defaultBg,
    TXWindow::lightBg, TXWindow::darkBg, TXWindow::disabledFg, TXWindow::disabledBg,
    TXWindow::enabledBg, TXWindow::scrollbarBg;
Pixmap TXWindow::dot = 0, TXWindow::tick = 0, TXWindow::downArrow = 0;
Time TXWindow::cutBufferTime = 0;
char* TXWindow::defaultWindowClass = nullptr;
const unsigned long* TXWindow::defaultWindowIconData = nullptr;
int TXWindow::defaultWindowIconNElements = 0;

// Property data is read up to this many four-byte units.
static const long maxPropertyUnits = 65536;

static std::vector<TXWindow*> windows;
static TXWindow* grabWindow = nullptr;
static TXEventHandler* globalEventHandler = nullptr;
static TXWindow::FailureHandler* failureHandler = nullptr;

// The error trap (declared in XErrorTrap.h) shares this file's log writer.
static int trappedCode = 0;
static XErrorHandler previousHandler = nullptr;
static bool trapActive = false;

static int trapHandler(Display* dpy, XErrorEvent* error) {
  trappedCode = error->error_code;
  char text[256];
  XGetErrorText(dpy, error->error_code, text, sizeof(text));
  vlog.status("Caught X error %d: %s", error->error_code, text);
  return 0;
}

void beginXErrorTrap(Display* dpy) {
  PLAT_ASSERT(!trapActive);
  XSync(dpy, False);
  trappedCode = 0;
  previousHandler = XSetErrorHandler(trapHandler);
  trapActive = true;
}

void endXErrorTrap(Display* dpy) {
  XSync(dpy, False);
  XSetErrorHandler(previousHandler);
  previousHandler = nullptr;
  trapActive = false;
}

int trappedXErrorCode() {
  return trappedCode;
}

// The length of the longest prefix of text[0..length) that does not end
// inside a UTF-8 sequence: a lead byte whose continuation bytes are missing
// is dropped with those that are present.
static int utf8Boundary(const char* text, int length) {
  auto continuation = [text](int i) {
    return (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
  };
  int i = length, back = 0;
  while (i > 0 && back < 3 && continuation(i - 1)) {
    i--;
    back++;
  }
  if (i == 0)
    return length;
  unsigned char lead = static_cast<unsigned char>(text[i - 1]);
  int need = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  if (need == 0)
    return length;
  return back >= need ? length : i - 1;
}

static void freeResources() {
  free(TXWindow::defaultWindowClass);
  TXWindow::defaultWindowClass = nullptr;
}

void TXWindow::init(Display* dpy, const char* defaultClass) {
  int screen = DefaultScreen(dpy);
  Window root = DefaultRootWindow(dpy);
  if (useOwnCmap)
    cmap = XCreateColormap(dpy, root, DefaultVisual(dpy, screen), AllocNone);
  else
    cmap = DefaultColormap(dpy, screen);

  wmProtocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
  wmDeleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
  wmTakeFocus = XInternAtom(dpy, "WM_TAKE_FOCUS", False);
  wmChangeState = XInternAtom(dpy, "WM_CHANGE_STATE", False);
  xaTIMESTAMP = XInternAtom(dpy, "TIMESTAMP", False);
  xaTARGETS = XInternAtom(dpy, "TARGETS", False);
  xaSELECTION_STRING = XInternAtom(dpy, "SELECTION_STRING", False);
  xaCLIPBOARD = XInternAtom(dpy, "CLIPBOARD", False);
  xaINCR = XInternAtom(dpy, "INCR", False);
  xa_NET_WM_NAME = XInternAtom(dpy, "_NET_WM_NAME", False);
  xa_NET_WM_ICON = XInternAtom(dpy, "_NET_WM_ICON", False);
  xa_NET_WM_ICON_NAME = XInternAtom(dpy, "_NET_WM_ICON_NAME", False);
  xaUTF8_STRING = XInternAtom(dpy, "UTF8_STRING", False);
  xa_NET_ACTIVE_WINDOW = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);

  XColor cols[6];
  const unsigned short greys[6] = {0x0000, 0xBBBB, 0xEEEE, 0x5555, 0x8888, 0xFFFF};
  for (int i = 0; i < 6; i++) {
    cols[i].red = cols[i].green = cols[i].blue = greys[i];
    cols[i].flags = DoRed | DoGreen | DoBlue;
  }
  getColours(dpy, cols, 6);
  black = defaultFg = cols[0].pixel;
  defaultBg = disabledBg = cols[1].pixel;
  lightBg = cols[2].pixel;
  darkBg = disabledFg = cols[3].pixel;
  scrollbarBg = cols[4].pixel;
  white = enabledBg = cols[5].pixel;

  defaultGC = XCreateGC(dpy, root, 0, nullptr);
  defaultFS = XLoadQueryFont(dpy, "-*-helvetica-medium-r-*-*-12-*-*-*-*-*-*-*");
  if (!defaultFS)
    defaultFS = XLoadQueryFont(dpy, "fixed");
  if (!defaultFS) {
    fprintf(stderr, "Failed to load any font\n");
    exit(1);
  }
  defaultFont = defaultFS->fid;
  XSetForeground(dpy, defaultGC, defaultFg);
  XSetBackground(dpy, defaultGC, defaultBg);
  XSetFont(dpy, defaultGC, defaultFont);
  XSelectInput(dpy, root, PropertyChangeMask);

  static const unsigned char dotBits[] = {0x06, 0x0F, 0x0F, 0x06};
  static const unsigned char tickBits[] = {0x80, 0xC0, 0xE2, 0x76, 0x3E, 0x1C, 0x08, 0x00};
  static const unsigned char downArrowBits[] = {0x00, 0x1F, 0x0E, 0x04, 0x00};
  dot = XCreateBitmapFromData(dpy, root, reinterpret_cast<const char*>(dotBits), 4, 4);
  tick = XCreateBitmapFromData(dpy, root, reinterpret_cast<const char*>(tickBits), 8, 8);
  downArrow = XCreateBitmapFromData(dpy, root, reinterpret_cast<const char*>(downArrowBits), 5, 5);

  if (!defaultWindowClass || strcmp(defaultWindowClass, defaultClass) != 0) {
    static bool registered = false;
    if (!registered) {
      atexit(freeResources);
      registered = true;
    }
    free(defaultWindowClass);
    defaultWindowClass = strdup(defaultClass);
  }
}

void TXWindow::shutdown(Display* dpy) {
  if (defaultFS)
    XFreeFont(dpy, defaultFS);
  defaultFS = nullptr;
  defaultFont = 0;
  if (defaultGC)
    XFreeGC(dpy, defaultGC);
  defaultGC = nullptr;
  for (Pixmap* p : {&dot, &tick, &downArrow}) {
    if (*p)
      XFreePixmap(dpy, *p);
    *p = 0;
  }
  if (cmap && cmap != DefaultColormap(dpy, DefaultScreen(dpy)))
    XFreeColormap(dpy, cmap);
  cmap = 0;
  cutBufferTime = 0;
  grabWindow = nullptr;
  freeResources();
}

void TXWindow::setDefaultWindowIcon(const unsigned long* data, int count) {
  defaultWindowIconData = data;
  defaultWindowIconNElements = count;
}

TXEventHandler* TXWindow::setGlobalEventHandler(TXEventHandler* handler) {
  TXEventHandler* old = globalEventHandler;
  globalEventHandler = handler;
  return old;
}

void TXWindow::getColours(Display* dpy, XColor* colours, int n) {
  std::vector<bool> failed(size_t(n), false);
  bool allOk = true;
  for (int i = 0; i < n; i++) {
    if (!XAllocColor(dpy, cmap, &colours[i])) {
      failed[size_t(i)] = true;
      allOk = false;
    }
  }
  if (allOk)
    return;

  int cells = DefaultVisual(dpy, DefaultScreen(dpy))->map_entries;
  std::vector<XColor> cellColours(static_cast<size_t>(cells));
  for (int i = 0; i < cells; i++)
    cellColours[size_t(i)].pixel = static_cast<unsigned long>(i);
  XQueryColors(dpy, cmap, cellColours.data(), cells);

  // Take a reference to every cell that can be shared.
  std::vector<bool> available(size_t(cells), false), used(size_t(cells), false);
  for (int i = cells - 1; i >= 0; i--) {
    XColor c = cellColours[size_t(i)];
    if (XAllocColor(dpy, cmap, &c)) {
      if (c.pixel == static_cast<unsigned long>(i))
        available[size_t(i)] = true;
      else
        XFreeColors(dpy, cmap, &c.pixel, 1, 0);
    }
  }

  for (int i = 0; i < n; i++) {
    if (!failed[size_t(i)])
      continue;
    long bestDistance = -1;
    int best = -1;
    for (int j = 0; j < cells; j++) {
      if (!available[size_t(j)])
        continue;
      long dr = (long(colours[i].red) - long(cellColours[size_t(j)].red)) / 2;
      long dg = (long(colours[i].green) - long(cellColours[size_t(j)].green)) / 2;
      long db = (long(colours[i].blue) - long(cellColours[size_t(j)].blue)) / 2;
      long d = dr * dr + dg * dg + db * db;
      if (best < 0 || d < bestDistance) {
        best = j;
        bestDistance = d;
      }
    }
    if (best < 0) {
      colours[i].pixel = 0;
      continue;
    }
    colours[i].pixel = static_cast<unsigned long>(best);
    used[size_t(best)] = true;
  }

  for (int j = 0; j < cells; j++) {
    if (available[size_t(j)] && !used[size_t(j)]) {
      unsigned long pixel = static_cast<unsigned long>(j);
      XFreeColors(dpy, cmap, &pixel, 1, 0);
    }
  }
}

Window TXWindow::findWindowByName(Display* dpy, Window w, const char* name) {
  char* windowName = nullptr;
  if (XFetchName(dpy, w, &windowName) && windowName) {
    bool match = strcmp(windowName, name) == 0;
    XFree(windowName);
    if (match)
      return w;
  }
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(dpy, w, &root, &parent, &children, &count))
    return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && !found; i++)
    found = findWindowByName(dpy, children[i], name);
  if (children)
    XFree(children);
  return found;
}

TXWindow::TXWindow(Display* dpy, int width, int height, TXWindow* parent, int borderWidth)
    : dpy_(dpy), xPad(3), yPad(3), bevel(2), parent_(parent), win_(0), width_(width),
      height_(height), eventHandler_(nullptr), dwc_(nullptr), eventMask_(0), sizeHints_(),
      toplevel_(false), mapped_(false), focused_(false), managed_(true), fixedSize_(false),
      incrProperty_(0), iconic_(false) {
  Window parentWin = parent ? parent->win() : DefaultRootWindow(dpy);
  XSetWindowAttributes attr;
  attr.background_pixel = defaultBg;
  attr.border_pixel = 0;
  attr.colormap = cmap;
  win_ = XCreateWindow(dpy, parentWin, 0, 0, unsigned(width), unsigned(height),
                       unsigned(borderWidth), CopyFromParent, CopyFromParent, CopyFromParent,
                       CWBackPixel | CWBorderPixel | (cmap ? CWColormap : 0), &attr);
  if (parent)
    map();
  addEventMask(FocusChangeMask | PropertyChangeMask);
  windows.push_back(this);
}

TXWindow::~TXWindow() {
  windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
  if (grabWindow == this)
    grabWindow = nullptr;
  XDestroyWindow(dpy_, win_);
}

TXEventHandler* TXWindow::setEventHandler(TXEventHandler* handler) {
  TXEventHandler* old = eventHandler_;
  eventHandler_ = handler;
  return old;
}

void TXWindow::addEventMask(long mask) {
  eventMask_ |= mask;
  XSelectInput(dpy_, win_, eventMask_);
}

void TXWindow::removeEventMask(long mask) {
  eventMask_ &= ~mask;
  XSelectInput(dpy_, win_, eventMask_);
}

void TXWindow::setName(const char* utf8) {
  XStoreName(dpy_, win_, utf8);
  XSetIconName(dpy_, win_, utf8);
  int length = int(strlen(utf8));
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(utf8);
  XChangeProperty(dpy_, win_, xa_NET_WM_NAME, xaUTF8_STRING, 8, PropModeReplace, bytes, length);
  XChangeProperty(dpy_, win_, xa_NET_WM_ICON_NAME, xaUTF8_STRING, 8, PropModeReplace, bytes,
                  length);
}

void TXWindow::setupToplevel(const char* name, TXDeleteWindowCallback* callback, int argc,
                             char** argv, const char* className, bool iconic) {
  toplevel_ = true;
  iconic_ = iconic;
  XWMHints wmHints = {};
  wmHints.flags = InputHint | StateHint;
  wmHints.input = True;
  wmHints.initial_state = iconic ? IconicState : NormalState;
  XClassHint classHint;
  classHint.res_name = const_cast<char*>(name);
  classHint.res_class = const_cast<char*>(className ? className : defaultWindowClass);
  XSetWMProperties(dpy_, win_, nullptr, nullptr, argv, argc, &sizeHints_, &wmHints, &classHint);
  setName(name);

  dwc_ = callback;
  Atom protocols[2] = {wmTakeFocus, wmDeleteWindow};
  XSetWMProtocols(dpy_, win_, protocols, callback ? 2 : 1);
  addEventMask(StructureNotifyMask);

  if (defaultWindowIconData && defaultWindowIconNElements > 0)
    XChangeProperty(dpy_, win_, xa_NET_WM_ICON, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(defaultWindowIconData),
                    defaultWindowIconNElements);
}

void TXWindow::sendHints() {
  XSetWMNormalHints(dpy_, win_, &sizeHints_);
}

void TXWindow::setPosition(int x, int y) {
  sizeHints_.flags |= USPosition;
  sizeHints_.x = x;
  sizeHints_.y = y;
  sendHints();
  XMoveWindow(dpy_, win_, x, y);
}

void TXWindow::setMinSize(int w, int h) {
  if (w && h) {
    sizeHints_.flags |= PMinSize;
    sizeHints_.min_width = w;
    sizeHints_.min_height = h;
  } else {
    sizeHints_.flags &= ~PMinSize;
  }
  sendHints();
}

void TXWindow::setMaxSize(int w, int h) {
  if (w && h) {
    sizeHints_.flags |= PMaxSize;
    sizeHints_.max_width = w;
    sizeHints_.max_height = h;
  } else {
    sizeHints_.flags &= ~PMaxSize;
  }
  sendHints();
}

void TXWindow::setFixedSize(bool fixed) {
  if (fixed) {
    sizeHints_.flags |= PMinSize | PMaxSize;
    sizeHints_.min_width = sizeHints_.max_width = width_;
    sizeHints_.min_height = sizeHints_.max_height = height_;
  } else {
    sizeHints_.flags &= ~(PMinSize | PMaxSize);
  }
  fixedSize_ = fixed;
  sendHints();
}

void TXWindow::resize(int w, int h) {
  bool fixed = fixedSize_;
  if (fixed)
    setFixedSize(false);
  XEvent ev;
  while (XCheckTypedWindowEvent(dpy_, win_, ConfigureNotify, &ev)) {
  }
  XResizeWindow(dpy_, win_, unsigned(w), unsigned(h));
  width_ = w;
  height_ = h;
  resizeNotify();
  if (fixed)
    setFixedSize(true);
}

void TXWindow::setGeometry(const char* geometry, int x, int y, int w, int h) {
  char defaultGeometry[64];
  snprintf(defaultGeometry, sizeof(defaultGeometry), "%dx%d+%d+%d", w, h, x, y);
  int gravity = 0;
  XWMGeometry(dpy_, DefaultScreen(dpy_), geometry && *geometry ? geometry : nullptr,
              defaultGeometry, 0, &sizeHints_, &x, &y, &w, &h, &gravity);
  sizeHints_.win_gravity = gravity;
  sizeHints_.flags |= PWinGravity;
  setPosition(x, y);
  resize(w, h);
}

void TXWindow::setBorderWidth(int width) {
  XWindowChanges changes;
  changes.border_width = width;
  XConfigureWindow(dpy_, win_, CWBorderWidth, &changes);
}

void TXWindow::centreOnScreen() {
  int screen = DefaultScreen(dpy_);
  setPosition((DisplayWidth(dpy_, screen) - width_ - 10) / 2,
              (DisplayHeight(dpy_, screen) - height_ - 30) / 2);
}

void TXWindow::positionOnRoot(int* x, int* y) {
  Window child;
  XTranslateCoordinates(dpy_, win_, DefaultRootWindow(dpy_), 0, 0, x, y, &child);
}

void TXWindow::grabKeyboard(bool grab) {
  if (grab)
    XGrabKeyboard(dpy_, win_, True, GrabModeAsync, GrabModeAsync, CurrentTime);
  else
    XUngrabKeyboard(dpy_, CurrentTime);
}

void TXWindow::grabPointer(bool grab) {
  if (grab) {
    if (grabWindow)
      return;
    XGrabPointer(dpy_, win_, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                 GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    grabKeyboard(true);
    grabWindow = this;
  } else {
    if (grabWindow != this)
      return;
    XUngrabPointer(dpy_, CurrentTime);
    grabKeyboard(false);
    grabWindow = nullptr;
  }
}

bool TXWindow::isGrabbing() const {
  return grabWindow == this;
}

void TXWindow::setManaged(bool managed) {
  managed_ = managed;
  XSetWindowAttributes attr;
  attr.override_redirect = managed ? False : True;
  XChangeWindowAttributes(dpy_, win_, CWOverrideRedirect, &attr);
}

static void sendToRoot(Display* dpy, Window win, Atom type, long first) {
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.display = dpy;
  ev.xclient.window = win;
  ev.xclient.message_type = type;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = first;
  XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &ev);
}

void TXWindow::activate() {
  sendToRoot(dpy_, win_, xa_NET_ACTIVE_WINDOW, 0);
}

void TXWindow::setInputFocus(Time time) {
  if (!mapped_)
    return;
  beginXErrorTrap(dpy_);
  XSetInputFocus(dpy_, win_, RevertToParent, time);
  endXErrorTrap(dpy_);
}

void TXWindow::setUrgent(bool urgent) {
  XWMHints* hints = XGetWMHints(dpy_, win_);
  if (!hints)
    return;
  if (urgent)
    hints->flags |= XUrgencyHint;
  else
    hints->flags &= ~XUrgencyHint;
  XSetWMHints(dpy_, win_, hints);
  XFree(hints);
}

void TXWindow::iconify() {
  sendToRoot(dpy_, win_, wmChangeState, IconicState);
}

void TXWindow::setIconic(bool iconic) {
  if (iconic == iconic_)
    return;
  iconic_ = iconic;
  XWMHints* hints = XGetWMHints(dpy_, win_);
  if (!hints)
    return;
  hints->flags |= StateHint;
  hints->initial_state = iconic ? IconicState : NormalState;
  XSetWMHints(dpy_, win_, hints);
  XFree(hints);
}

void TXWindow::map() {
  XMapWindow(dpy_, win_);
  mapped_ = true;
}

void TXWindow::unmap() {
  XUnmapWindow(dpy_, win_);
  if (toplevel_) {
    XEvent ev = {};
    ev.xunmap.type = UnmapNotify;
    ev.xunmap.display = dpy_;
    ev.xunmap.event = DefaultRootWindow(dpy_);
    ev.xunmap.window = win_;
    ev.xunmap.from_configure = False;
    XSendEvent(dpy_, DefaultRootWindow(dpy_), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &ev);
  }
  mapped_ = false;
}

// True while the window manager still counts the window as its own: the
// window is in the manager's frame, or its WM_STATE still says it is shown
// or iconic (the manager withdraws it by removing WM_STATE or setting it to
// WithdrawnState, which it does as the last step of letting it go).
static bool heldByManager(Display* dpy, Window win, Atom wmState) {
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(dpy, win, &root, &parent, &children, &n))
    return false;
  if (children)
    XFree(children);
  if (parent != root)
    return true;
  if (wmState == None)
    return false;
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  bool held = false;
  if (XGetWindowProperty(dpy, win, wmState, 0, 1, False, wmState, &type, &format, &items, &after,
                         &data) == Success &&
      type == wmState && format == 32 && items == 1)
    held = reinterpret_cast<long*>(data)[0] != WithdrawnState;
  if (data)
    XFree(data);
  return held;
}

void TXWindow::waitReleasedByManager() {
  // Looked up here rather than kept: a process may talk to more than one X
  // server. None when no client ever named it, as without a window manager.
  Atom wmState = XInternAtom(dpy_, "WM_STATE", True);
  for (int waited = 0; waited < 1000; waited += 5) {
    if (!heldByManager(dpy_, win_, wmState))
      return;
    plat::sleepMs(5);
  }
  vlog.error("0x%x: the window manager still holds the window", unsigned(win_));
}

void TXWindow::selectionNotify(XSelectionEvent*, Atom, int, int, const unsigned char*) {
}

bool TXWindow::selectionRequest(Window, Atom, Atom, Atom) {
  return false;
}

void TXWindow::ownSelection(Atom selection, Time time) {
  XSetSelectionOwner(dpy_, selection, win_, time);
  if (XGetSelectionOwner(dpy_, selection) == win_) {
    selectionOwned_[selection] = true;
    selectionOwnTime_[selection] = time;
  }
}

bool TXWindow::ownsSelection(Atom selection) const {
  auto i = selectionOwned_.find(selection);
  return i != selectionOwned_.end() && i->second;
}

Time TXWindow::selectionOwnTime(Atom selection) const {
  auto i = selectionOwnTime_.find(selection);
  return i == selectionOwnTime_.end() ? 0 : i->second;
}

void TXWindow::convertSelection(Atom selection, Atom target, Atom property, Time time) {
  if (incrProperty_ == property)
    incrProperty_ = 0;
  XConvertSelection(dpy_, selection, target, property, win_, time);
}

// The most bytes of 8-bit property data that one ChangeProperty request can
// carry on this display; a longer request fails with BadLength.
static long maxPropertyBytes(Display* dpy) {
  long maxRequest = XExtendedMaxRequestSize(dpy);
  if (maxRequest == 0)
    maxRequest = XMaxRequestSize(dpy);
  return maxRequest * 4 - 64;
}

void TXWindow::storeCutBuffer(int length, const char* utf8) {
  plat::MBuf<unsigned char> latin1;
  plat::utf8BufToLatin1(length, reinterpret_cast<const unsigned char*>(utf8), latin1);
  // The text comes from a viewer: cut it to what one request can carry, and
  // keep any refusal of the server from ending the program.
  int n = int(std::min<long>(long(latin1.size()), maxPropertyBytes(dpy_)));
  beginXErrorTrap(dpy_);
  XStoreBytes(dpy_, reinterpret_cast<const char*>(latin1.data()), n);
  endXErrorTrap(dpy_);
}

void TXWindow::setSelectionProperty(Window requestor, Atom property, Atom target, int length,
                                    const char* utf8) {
  // One ChangeProperty request must fit the server's maximum request size,
  // or Xlib ends the program: serve no more than that, cut at a whole
  // character.
  long cap = maxPropertyBytes(dpy_);
  if (target == XA_STRING) {
    plat::MBuf<unsigned char> latin1;
    plat::utf8BufToLatin1(length, reinterpret_cast<const unsigned char*>(utf8), latin1);
    int n = int(std::min<long>(long(latin1.size()), cap));
    XChangeProperty(dpy_, requestor, property, XA_STRING, 8, PropModeReplace, latin1.data(), n);
  } else if (target == xaUTF8_STRING) {
    int n = length;
    if (long(n) > cap)
      n = utf8Boundary(utf8, int(cap));
    XChangeProperty(dpy_, requestor, property, xaUTF8_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8), n);
  }
}

void TXWindow::drawBevel(GC gc, int x, int y, int w, int h, int b, unsigned long fill,
                         unsigned long light, unsigned long dark, bool oval) {
  if (oval) {
    XSetLineAttributes(dpy_, gc, unsigned(b), LineSolid, CapButt, JoinMiter);
    int inset = b / 2;
    XSetForeground(dpy_, gc, fill);
    XFillArc(dpy_, win_, gc, x + inset, y + inset, unsigned(w - b), unsigned(h - b), 0, 360 * 64);
    XSetForeground(dpy_, gc, light);
    XDrawArc(dpy_, win_, gc, x + inset, y + inset, unsigned(w - b), unsigned(h - b), 45 * 64,
             180 * 64);
    XSetForeground(dpy_, gc, dark);
    XDrawArc(dpy_, win_, gc, x + inset, y + inset, unsigned(w - b), unsigned(h - b), 225 * 64,
             180 * 64);
    return;
  }
  if (w - 2 * b > 0 && h - 2 * b > 0) {
    XSetForeground(dpy_, gc, fill);
    XFillRectangle(dpy_, win_, gc, x + b, y + b, unsigned(w - 2 * b), unsigned(h - 2 * b));
  }
  XSetForeground(dpy_, gc, light);
  XFillRectangle(dpy_, win_, gc, x, y, unsigned(w), unsigned(b));
  XFillRectangle(dpy_, win_, gc, x, y, unsigned(b), unsigned(h));
  XSetForeground(dpy_, gc, dark);
  for (int i = 0; i < b; i++) {
    XDrawLine(dpy_, win_, gc, x + i, y + h - 1 - i, x + w - 1 - i, y + h - 1 - i);
    XDrawLine(dpy_, win_, gc, x + w - 1 - i, y + i, x + w - 1 - i, y + h - 1 - i);
  }
}

void TXWindow::handleXEvents(Display* dpy, TXWindow* modal) {
  while (XPending(dpy)) {
    XEvent ev;
    XNextEvent(dpy, &ev);
    if (ev.type == MappingNotify) {
      XRefreshKeyboardMapping(&ev.xmapping);
    } else if (ev.type == PropertyNotify && ev.xproperty.window == DefaultRootWindow(dpy) &&
               ev.xproperty.atom == XA_CUT_BUFFER0) {
      cutBufferTime = ev.xproperty.time;
    }
    TXWindow* target = nullptr;
    if (ev.type == MappingNotify) {
      if (!windows.empty())
        target = windows.front();
    } else {
      for (TXWindow* w : windows) {
        if (w->win() == ev.xany.window) {
          target = w;
          break;
        }
      }
    }
    // A failing handler costs its own event only.
    runReportingFailure([&] {
      if (target)
        target->handleXEvent(&ev, modal);
      else if (globalEventHandler)
        globalEventHandler->handleEvent(nullptr, &ev);
    });
  }
}

TXWindow::FailureHandler* TXWindow::setFailureHandler(FailureHandler* handler) {
  FailureHandler* old = failureHandler;
  failureHandler = handler;
  return old;
}

bool TXWindow::reportFailure(const char* message) {
  if (!failureHandler)
    return false;
  failureHandler->handlerFailed(message);
  return true;
}

bool TXWindow::readProperty(Atom property, Atom* type, int* format, unsigned long* nitems,
                            unsigned char** data) {
  unsigned long after = 0;
  *data = nullptr;
  if (XGetWindowProperty(dpy_, win_, property, 0, maxPropertyUnits, True, AnyPropertyType, type,
                         format, nitems, &after, data) != Success) {
    *type = None;
    return false;
  }
  if (after > 0) {
    // The server deletes a property only when it was read to its end; the
    // rest is dropped, and the property must go all the same: an owner
    // sending increments waits for that before it sends the next.
    XDeleteProperty(dpy_, win_, property);
    // UTF-8 is cut at a character boundary, never inside a sequence.
    if (*type == xaUTF8_STRING && *format == 8 && *data)
      *nitems = unsigned(utf8Boundary(reinterpret_cast<char*>(*data), int(*nitems)));
  }
  return true;
}

void TXWindow::handleXEvent(XEvent* ev, TXWindow* modal) {
  switch (ev->type) {
  case KeyPress:
  case KeyRelease:
  case ButtonPress:
  case ButtonRelease:
    if (modal && !grabWindow && modal != this)
      return;
    break;
  case MotionNotify:
    if ((ev->xmotion.state &
         (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask)) &&
        modal && !grabWindow && modal != this)
      return;
    break;
  case FocusIn:
    focused_ = true;
    break;
  case FocusOut:
    focused_ = false;
    break;
  case MapNotify:
    mapped_ = true;
    break;
  case UnmapNotify:
    mapped_ = false;
    break;
  case ConfigureNotify: {
    XEvent newer;
    while (XCheckTypedWindowEvent(dpy_, win_, ConfigureNotify, &newer))
      *ev = newer;
    if (ev->xconfigure.width != width_ || ev->xconfigure.height != height_) {
      width_ = ev->xconfigure.width;
      height_ = ev->xconfigure.height;
      resizeNotify();
    }
    break;
  }
  case PropertyNotify:
    if (incrProperty_ && ev->xproperty.atom == incrProperty_ &&
        ev->xproperty.state == PropertyNewValue) {
      Atom type;
      int format;
      unsigned long nitems;
      unsigned char* data;
      readProperty(incrProperty_, &type, &format, &nitems, &data);
      if (data)
        XFree(data);
      if (nitems == 0)
        incrProperty_ = 0;
    }
    break;
  case SelectionClear:
    selectionOwned_[ev->xselectionclear.selection] = false;
    break;
  case SelectionRequest:
    handleSelectionRequest(&ev->xselectionrequest);
    break;
  case SelectionNotify:
    handleSelectionNotify(&ev->xselection);
    break;
  case ClientMessage:
    if (ev->xclient.message_type == wmProtocols && ev->xclient.format == 32) {
      Atom protocol = Atom(ev->xclient.data.l[0]);
      if (protocol == wmDeleteWindow && dwc_) {
        dwc_->deleteWindow(this);
        return;
      }
      if (protocol == wmTakeFocus && mapped_)
        takeFocus(Time(ev->xclient.data.l[1]));
    }
    break;
  default:
    break;
  }
  if (eventHandler_)
    eventHandler_->handleEvent(this, ev);
}

void TXWindow::handleSelectionRequest(XSelectionRequestEvent* req) {
  XEvent reply = {};
  reply.xselection.type = SelectionNotify;
  reply.xselection.display = req->display;
  reply.xselection.requestor = req->requestor;
  reply.xselection.selection = req->selection;
  reply.xselection.target = req->target;
  reply.xselection.time = req->time;
  Atom property = req->property == None ? req->target : req->property;
  reply.xselection.property = None;
  // The requestor is another client: its window may be gone already (or
  // never have existed), which must not end this program.
  beginXErrorTrap(dpy_);
  if (ownsSelection(req->selection)) {
    if (req->target == xaTARGETS) {
      long targets[3] = {long(xaTIMESTAMP), long(xaUTF8_STRING), long(XA_STRING)};
      XChangeProperty(dpy_, req->requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(targets), 3);
      reply.xselection.property = property;
    } else if (req->target == xaTIMESTAMP) {
      long t = long(selectionOwnTime(req->selection));
      XChangeProperty(dpy_, req->requestor, property, XA_INTEGER, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(&t), 1);
      reply.xselection.property = property;
    } else if (req->target == xaUTF8_STRING || req->target == XA_STRING) {
      if (selectionRequest(req->requestor, req->selection, req->target, property))
        reply.xselection.property = property;
    }
  }
  XSendEvent(dpy_, req->requestor, False, 0, &reply);
  endXErrorTrap(dpy_);
}

void TXWindow::handleSelectionNotify(XSelectionEvent* ev) {
  if (ev->property != None) {
    Atom type = None;
    int format = 0;
    unsigned long nitems = 0;
    unsigned char* data = nullptr;
    readProperty(ev->property, &type, &format, &nitems, &data);
    if (type == xaINCR) {
      // Incremental transfers are drained and dropped; they count as failure.
      if (data)
        XFree(data);
      incrProperty_ = ev->property;
      selectionNotify(ev, 0, 0, 0, nullptr);
      return;
    }
    if (type != None) {
      selectionNotify(ev, type, format, int(nitems), data);
      if (data)
        XFree(data);
      return;
    }
    if (data)
      XFree(data);
  }
  selectionNotify(ev, 0, 0, 0, nullptr);
}
