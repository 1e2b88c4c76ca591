// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "tx/TXWindow.h"
#include "tx/XErrorTrap.h"

#include "plat/Exception.h"

#include "CaptureLogger.h"
#include "TempDir.h"
#include "TxTestDisplay.h"

#include <X11/Xatom.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

using testing_support::ScopedCapture;
using testing_support::TxTestDisplay;

namespace {

class CountingWindow : public TXWindow {
public:
  using TXWindow::TXWindow;
  void resizeNotify() override { resizes++; }
  int resizes = 0;
};

std::string xprop(TxTestDisplay& x, Window w, const std::string& property) {
  return x.run({"env", "LC_ALL=C.UTF-8", "xprop", "-id", std::to_string(w), property});
}

XSizeHints sizeHints(Display* dpy, Window w) {
  XSizeHints hints = {};
  long supplied;
  XGetWMNormalHints(dpy, w, &hints, &supplied);
  return hints;
}

} // namespace

TEST(TXWindow, TopLevelCarriesClassUtf8NameAndIcon) {
  TxTestDisplay x;
  static const unsigned long icon[2 + 4] = {2, 2, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
  TXWindow::setDefaultWindowIcon(icon, 6);
  TXWindow w(x.dpy, 100, 50);
  w.setupToplevel("Zav – état", nullptr);
  XSync(x.dpy, False);

  std::string wmClass = xprop(x, w.win(), "WM_CLASS");
  EXPECT_NE(wmClass.find(", \"Zavconfig\"\n"), std::string::npos) << wmClass;
  EXPECT_EQ(xprop(x, w.win(), "_NET_WM_NAME"), "_NET_WM_NAME(UTF8_STRING) = \"Zav – état\"\n");
  std::string iconText = xprop(x, w.win(), "_NET_WM_ICON");
  EXPECT_NE(iconText.find("_NET_WM_ICON(CARDINAL)"), std::string::npos) << iconText;
  EXPECT_NE(iconText.find("Icon (2 x 2)"), std::string::npos) << iconText;
  // Without a delete-window callback only WM_TAKE_FOCUS is offered.
  EXPECT_EQ(xprop(x, w.win(), "WM_PROTOCOLS"), "WM_PROTOCOLS(ATOM): protocols  WM_TAKE_FOCUS\n");
  TXWindow::setDefaultWindowIcon(nullptr, 0);
}

TEST(TXWindow, ThreeQueuedConfigureNotifyGiveOneResizeFromTheLast) {
  TxTestDisplay x;
  CountingWindow w(x.dpy, 50, 50);
  w.addEventMask(StructureNotifyMask);
  for (int size : {60, 70, 80})
    XResizeWindow(x.dpy, w.win(), unsigned(size), unsigned(size + 1));
  XSync(x.dpy, False);
  TXWindow::handleXEvents(x.dpy);
  EXPECT_EQ(w.resizes, 1);
  EXPECT_EQ(w.width(), 80);
  EXPECT_EQ(w.height(), 81);
}

TEST(TXWindow, XErrorInsideTrapIsLoggedAndSurvived) {
  TxTestDisplay x;
  ScopedCapture capture("TXWindow", 30);
  beginXErrorTrap(x.dpy);
  XSetInputFocus(x.dpy, 0x7FFFFF, RevertToParent, CurrentTime); // no such window
  endXErrorTrap(x.dpy);
  EXPECT_EQ(trappedXErrorCode(), BadWindow);
  ASSERT_EQ(capture.logger.lines.size(), 1u);
  EXPECT_EQ(capture.logger.lines[0].text.rfind("Caught X error 3: ", 0), 0u)
      << capture.logger.lines[0].text;
  // The connection still works.
  TXWindow w(x.dpy, 10, 10);
  XSync(x.dpy, False);

  // A trap that catches nothing reports 0.
  beginXErrorTrap(x.dpy);
  XMapWindow(x.dpy, w.win());
  endXErrorTrap(x.dpy);
  EXPECT_EQ(trappedXErrorCode(), 0);
}

TEST(TXWindow, OwnedSelectionListsItsTargetsAndTime) {
  TxTestDisplay x;
  TXWindow w(x.dpy, 1, 1);
  Time t = x.serverTime(w.win());
  w.ownSelection(xaCLIPBOARD, t);
  ASSERT_TRUE(w.ownsSelection(xaCLIPBOARD));
  EXPECT_EQ(x.run({"xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"}),
            "TIMESTAMP\nUTF8_STRING\nSTRING\n");
  // The base window refuses the text itself.
  int status = 0;
  x.run({"xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"}, "/dev/null", &status);
  EXPECT_NE(status, 0);
}

TEST(TXWindow, SelectionClearedByAnotherOwnerIsRefused) {
  TxTestDisplay x;
  TXWindow w(x.dpy, 1, 1);
  w.ownSelection(XA_PRIMARY, x.serverTime(w.win()));
  ASSERT_TRUE(w.ownsSelection(XA_PRIMARY));
  // Another connection takes the selection; the next event tells us.
  Display* other = XOpenDisplay(x.name().c_str());
  Window otherWin = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(other, XA_PRIMARY, otherWin, CurrentTime);
  XSync(other, False);
  EXPECT_TRUE(x.pumpUntil([&] { return !w.ownsSelection(XA_PRIMARY); }));
  XCloseDisplay(other);
}

TEST(TXWindow, SelectionRequestWithoutPropertyIsAnsweredOnTheTarget) {
  TxTestDisplay x;
  TXWindow w(x.dpy, 1, 1);
  w.ownSelection(xaCLIPBOARD, x.serverTime(w.win()));
  Display* other = XOpenDisplay(x.name().c_str());
  Window requestor = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 1, 1, 0, 0, 0);
  Atom targets = XInternAtom(other, "TARGETS", False);
  XConvertSelection(other, XInternAtom(other, "CLIPBOARD", False), targets, None, requestor,
                    CurrentTime);
  XFlush(other);
  XEvent ev;
  bool answered = x.pumpUntil(
      [&] { return XCheckTypedWindowEvent(other, requestor, SelectionNotify, &ev) == True; });
  ASSERT_TRUE(answered);
  EXPECT_EQ(ev.xselection.property, targets);
  Atom type;
  int format;
  unsigned long n, after;
  unsigned char* data = nullptr;
  XGetWindowProperty(other, requestor, targets, 0, 16, True, AnyPropertyType, &type, &format, &n,
                     &after, &data);
  EXPECT_EQ(type, XA_ATOM);
  EXPECT_EQ(n, 3u);
  if (data)
    XFree(data);
  XCloseDisplay(other);
}

TEST(TXWindow, SizeHints) {
  TxTestDisplay x;
  CountingWindow w(x.dpy, 100, 80);
  w.setMinSize(50, 40);
  EXPECT_TRUE(sizeHints(x.dpy, w.win()).flags & PMinSize);
  w.setMinSize(0, 100);
  EXPECT_FALSE(sizeHints(x.dpy, w.win()).flags & PMinSize);

  w.setFixedSize(true);
  w.resize(120, 90);
  EXPECT_EQ(w.resizes, 1);
  XSizeHints h = sizeHints(x.dpy, w.win());
  EXPECT_TRUE((h.flags & (PMinSize | PMaxSize)) == (PMinSize | PMaxSize));
  EXPECT_EQ(h.min_width, 120);
  EXPECT_EQ(h.max_height, 90);
  w.setFixedSize(false);
  EXPECT_FALSE(sizeHints(x.dpy, w.win()).flags & (PMinSize | PMaxSize));
}

TEST(TXWindow, OnlyOneWindowHoldsThePointerGrab) {
  TxTestDisplay x;
  TXWindow a(x.dpy, 20, 20), b(x.dpy, 20, 20);
  a.map();
  b.map();
  XSync(x.dpy, False);
  a.grabPointer(true);
  b.grabPointer(true);
  EXPECT_TRUE(a.isGrabbing());
  EXPECT_FALSE(b.isGrabbing());
  b.grabPointer(false); // not the grab window: no effect
  EXPECT_TRUE(a.isGrabbing());
  a.grabPointer(false);
  EXPECT_FALSE(a.isGrabbing());
}

namespace {
class RecordingHandler : public TXEventHandler {
public:
  void handleEvent(TXWindow*, XEvent* ev) override { types.push_back(ev->type); }
  std::vector<int> types;
};

void sendSynthetic(Display* dpy, Window w, int type, unsigned int state) {
  XEvent ev = {};
  ev.xany.type = type;
  ev.xany.window = w;
  ev.xkey.state = state;
  ev.xkey.same_screen = True;
  XSendEvent(dpy, w, False, 0, &ev);
}
} // namespace

TEST(TXWindow, ModalLoopDropsInputOfOtherWindowsButNotPlainMotion) {
  TxTestDisplay x;
  TXWindow modal(x.dpy, 20, 20), other(x.dpy, 20, 20);
  RecordingHandler handler;
  other.setEventHandler(&handler);
  sendSynthetic(x.dpy, other.win(), KeyPress, 0);
  sendSynthetic(x.dpy, other.win(), ButtonPress, 0);
  sendSynthetic(x.dpy, other.win(), MotionNotify, Button1Mask);
  sendSynthetic(x.dpy, other.win(), MotionNotify, 0);
  XSync(x.dpy, False);
  TXWindow::handleXEvents(x.dpy, &modal);
  EXPECT_EQ(handler.types, std::vector<int>({MotionNotify}));

  // With a pointer grab held, input passes.
  modal.map();
  XSync(x.dpy, False);
  modal.grabPointer(true);
  sendSynthetic(x.dpy, other.win(), KeyPress, 0);
  XSync(x.dpy, False);
  TXWindow::handleXEvents(x.dpy, &modal);
  modal.grabPointer(false);
  EXPECT_EQ(handler.types.back(), KeyPress);
}

TEST(TXWindow, FullColourMapGivesTheNearestSharedCell) {
  TxTestDisplay x("640x480x8");
  // Another client takes every free cell, writing greys into them.
  Display* other = XOpenDisplay(x.name().c_str());
  Colormap cmap = DefaultColormap(other, DefaultScreen(other));
  std::vector<unsigned long> pixels;
  unsigned long pixel;
  while (XAllocColorCells(other, cmap, False, nullptr, 0, &pixel, 1)) {
    XColor c;
    c.pixel = pixel;
    c.red = c.green = c.blue = (pixel & 1) ? 0x1000 : 0xF000;
    c.flags = DoRed | DoGreen | DoBlue;
    XStoreColor(other, cmap, &c);
    pixels.push_back(pixel);
  }
  XSync(other, False);
  ASSERT_FALSE(pixels.empty());

  XColor wanted;
  wanted.red = 0x5000;
  wanted.green = 0x5000;
  wanted.blue = 0x5800;
  wanted.flags = DoRed | DoGreen | DoBlue;
  TXWindow::getColours(x.dpy, &wanted, 1);
  // The other client's cells cannot be shared; of the shared ones the dark
  // grey of the toolkit is nearest.
  EXPECT_EQ(wanted.pixel, TXWindow::darkBg);
  XCloseDisplay(other);
}

namespace {

class DeleteRecorder : public TXDeleteWindowCallback {
public:
  void deleteWindow(TXWindow* w) override { deleted.push_back(w); }
  std::vector<TXWindow*> deleted;
};

class FocusWindow : public TXWindow {
public:
  using TXWindow::TXWindow;
  void takeFocus(Time time) override {
    takes++;
    setInputFocus(time);
  }
  int takes = 0;
};

// Sends a client message about w to the root window from another client,
// as pagers and task bars do.
void askWindowManager(const std::string& display, Window w, const char* type, long first) {
  Display* other = XOpenDisplay(display.c_str());
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = w;
  ev.xclient.message_type = XInternAtom(other, type, False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = first;
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(other, DefaultRootWindow(other), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &ev);
  XCloseDisplay(other);
}

} // namespace

TEST(TXWindow, ManagedByAWindowManager) {
  testing_support::TempDir home;
  setenv("HOME", home.path().c_str(), 1);
  TxTestDisplay x;
  x.start({"openbox", "--sm-disable"});
  // The window manager is ready once some client holds the redirection of
  // the root window's children.
  ASSERT_TRUE(x.pumpUntil(
      [&] {
        XWindowAttributes attr;
        XGetWindowAttributes(x.dpy, DefaultRootWindow(x.dpy), &attr);
        return (attr.all_event_masks & SubstructureRedirectMask) != 0;
      },
      10000));

  DeleteRecorder recorder;
  FocusWindow w(x.dpy, 120, 80);
  w.setupToplevel("Managed", &recorder);
  EXPECT_EQ(xprop(x, w.win(), "WM_PROTOCOLS"),
            "WM_PROTOCOLS(ATOM): protocols  WM_TAKE_FOCUS, WM_DELETE_WINDOW\n");
  // A map request that reaches the window manager while it still starts up
  // may be dropped by it: map again until it takes the window.
  bool managed = false;
  for (int attempt = 0; attempt < 10 && !managed; attempt++) {
    if (attempt > 0) {
      w.unmap();
      XSync(x.dpy, False);
    }
    w.map();
    managed = x.pumpUntil(
        [&] { return xprop(x, w.win(), "WM_STATE").find("Normal") != std::string::npos; }, 1000);
  }
  ASSERT_TRUE(managed);

  // Activation: the window manager hands the focus over.
  w.activate();
  EXPECT_TRUE(x.pumpUntil([&] { return w.isFocused(); }));

  // The close button of the window manager reaches the callback only.
  askWindowManager(x.name(), w.win(), "_NET_CLOSE_WINDOW", 0);
  ASSERT_TRUE(x.pumpUntil([&] { return !recorder.deleted.empty(); }));
  EXPECT_EQ(recorder.deleted[0], &w);

  // Iconified on request; urgency is kept in the WM hints.
  w.setUrgent(true);
  XWMHints* hints = XGetWMHints(x.dpy, w.win());
  ASSERT_NE(hints, nullptr);
  EXPECT_TRUE(hints->flags & XUrgencyHint);
  XFree(hints);
  w.iconify();
  EXPECT_TRUE(x.pumpUntil(
      [&] { return xprop(x, w.win(), "WM_STATE").find("Iconic") != std::string::npos; }));
}

TEST(TXWindow, GeometryPlacementAndLookUpByName) {
  TxTestDisplay x; // a 640x480 screen
  TXWindow w(x.dpy, 10, 10);
  w.setupToplevel("Placed");
  w.setGeometry("200x100-0+20", 5, 5, 50, 50);
  EXPECT_EQ(w.width(), 200);
  EXPECT_EQ(w.height(), 100);
  XSizeHints h = sizeHints(x.dpy, w.win());
  EXPECT_TRUE(h.flags & PWinGravity);
  EXPECT_EQ(h.win_gravity, NorthEastGravity);
  EXPECT_EQ(h.x, 440);
  EXPECT_EQ(h.y, 20);
  // Without a user geometry the default one holds.
  w.setGeometry(nullptr, 5, 6, 70, 80);
  EXPECT_EQ(w.width(), 70);
  EXPECT_EQ(sizeHints(x.dpy, w.win()).y, 6);

  w.centreOnScreen();
  h = sizeHints(x.dpy, w.win());
  EXPECT_EQ(h.x, (640 - 70 - 10) / 2);
  EXPECT_EQ(h.y, (480 - 80 - 30) / 2);

  TXWindow child(x.dpy, 5, 5, &w);
  XStoreName(x.dpy, child.win(), "Inner");
  XSync(x.dpy, False);
  EXPECT_EQ(TXWindow::findWindowByName(x.dpy, DefaultRootWindow(x.dpy), "Inner"), child.win());
  EXPECT_EQ(TXWindow::findWindowByName(x.dpy, DefaultRootWindow(x.dpy), "Placed"), w.win());
  EXPECT_EQ(TXWindow::findWindowByName(x.dpy, DefaultRootWindow(x.dpy), "Nowhere"), 0u);
}

TEST(TXWindow, SelectionRequestFromAVanishedRequestorIsSurvived) {
  TxTestDisplay x;
  TXWindow w(x.dpy, 1, 1);
  w.ownSelection(xaCLIPBOARD, x.serverTime(w.win()));
  // Another client asks on behalf of a window that does not exist, with an
  // atom that does not exist as property.
  Display* other = XOpenDisplay(x.name().c_str());
  for (Atom property : {Atom(XA_PRIMARY), Atom(0x7FFFFF)}) {
    XEvent ev = {};
    ev.xselectionrequest.type = SelectionRequest;
    ev.xselectionrequest.owner = w.win();
    ev.xselectionrequest.requestor = 0x7FFFFF;
    ev.xselectionrequest.selection = XInternAtom(other, "CLIPBOARD", False);
    ev.xselectionrequest.target = XInternAtom(other, "TARGETS", False);
    ev.xselectionrequest.property = property;
    XSendEvent(other, w.win(), False, 0, &ev);
  }
  XSync(other, False);
  XCloseDisplay(other);
  ScopedCapture capture("TXWindow", 30);
  x.pumpFor(100);
  EXPECT_TRUE(capture.logger.contains("Caught X error"));
  // Still serving.
  EXPECT_EQ(x.run({"xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"}),
            "TIMESTAMP\nUTF8_STRING\nSTRING\n");
}

namespace {

// Throws from its handler on client messages 1 (plat::Exception) and 2
// (std::exception); counts the others.
class ThrowingHandler : public TXEventHandler {
public:
  void handleEvent(TXWindow*, XEvent* ev) override {
    if (ev->type != ClientMessage)
      return;
    if (ev->xclient.data.l[0] == 1)
      throw plat::Exception("handler failed");
    if (ev->xclient.data.l[0] == 2)
      throw std::runtime_error("handler failed too");
    handled++;
  }
  int handled = 0;
};

struct RecordingFailures : TXWindow::FailureHandler {
  void handlerFailed(const char* message) override { messages.push_back(message); }
  std::vector<std::string> messages;
};

void sendClientMessage(Display* dpy, Window w, long value) {
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = w;
  ev.xclient.message_type = XA_INTEGER;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = value;
  XSendEvent(dpy, w, False, NoEventMask, &ev);
}

} // namespace

// A failing handler costs its own event only: with a failure handler the
// failure is reported and the events after it are served in the same call;
// without one the exception leaves the pump and the rest stay queued.
TEST(TXWindow, FailingHandlerIsReportedAndTheNextEventsServed) {
  TxTestDisplay x;
  TXWindow w(x.dpy, 10, 10);
  ThrowingHandler handler;
  w.setEventHandler(&handler);
  RecordingFailures failures;
  EXPECT_EQ(TXWindow::setFailureHandler(&failures), nullptr);
  for (long v : {1, 3, 2, 3})
    sendClientMessage(x.dpy, w.win(), v);
  XSync(x.dpy, False);
  TXWindow::handleXEvents(x.dpy);
  EXPECT_EQ(handler.handled, 2);
  EXPECT_EQ(failures.messages, (std::vector<std::string>{"handler failed", "handler failed too"}));

  EXPECT_EQ(TXWindow::setFailureHandler(nullptr), &failures);
  EXPECT_FALSE(TXWindow::reportFailure("nobody listens"));
  sendClientMessage(x.dpy, w.win(), 1);
  sendClientMessage(x.dpy, w.win(), 3);
  XSync(x.dpy, False);
  EXPECT_THROW(TXWindow::handleXEvents(x.dpy), plat::Exception);
  EXPECT_EQ(handler.handled, 2);
  TXWindow::handleXEvents(x.dpy);
  EXPECT_EQ(handler.handled, 3);
  w.setEventHandler(nullptr);
}
