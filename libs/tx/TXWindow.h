// The base of every X window of the program. Each object owns its X window
// (created by the constructor, destroyed by the destructor); the display,
// the parent, the event handler and the delete-window callback are not
// owned. The class also keeps the display-wide resources that every window
// shares (colour map, default GC and font, standard colours, three small
// bitmaps, interned atoms), the list of live windows, the pointer-grab window
// and the event pump handleXEvents. One display, one thread: this state is
// process-wide and unlocked.
#pragma once

#include "plat/Exception.h"
#include "tx/TXDeleteWindowCallback.h"
#include "tx/TXEventHandler.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <exception>
#include <map>

extern Atom wmProtocols, wmDeleteWindow, wmTakeFocus, wmChangeState, xaTIMESTAMP, xaTARGETS,
    xaSELECTION_STRING, xaCLIPBOARD, xaINCR, xa_NET_WM_NAME, xa_NET_WM_ICON, xa_NET_WM_ICON_NAME,
    xaUTF8_STRING, xa_NET_ACTIVE_WINDOW;

class TXWindow {
public:
  // A window of the given size under the parent's window (the root window
  // when parent is null); a child window is mapped at once.
  TXWindow(Display* dpy, int width, int height, TXWindow* parent = nullptr, int borderWidth = 1);
  virtual ~TXWindow();
  TXWindow(const TXWindow&) = delete;
  TXWindow& operator=(const TXWindow&) = delete;

  // Once, after the display is opened and before any window is created.
  static void init(Display* dpy, const char* defaultWindowClass);
  // The icon of every top-level window: count 32-bit _NET_WM_ICON elements
  // (held as longs, as Xlib wants them); not copied.
  static void setDefaultWindowIcon(const unsigned long* data, int count);
  // Drains the X connection, handing each event to its window. modal is the
  // window of a running modal loop (input for other windows is dropped then)
  // or null.
  static void handleXEvents(Display* dpy, TXWindow* modal = nullptr);
  // Sets the handler of events that match no window; returns the previous.
  static TXEventHandler* setGlobalEventHandler(TXEventHandler* handler);

  // Told of an exception (plat::Exception or std::exception) that escaped
  // the handler of one event or, in a modal dialog's loop, a timer, so that
  // the program can report it and go on.
  class FailureHandler {
  public:
    virtual ~FailureHandler() = default;
    virtual void handlerFailed(const char* message) = 0;
  };
  // Sets the failure handler (null: none) and returns the previous. With
  // one, handleXEvents reports a failed event there and goes on with the
  // next; without one the exception leaves handleXEvents as thrown.
  static FailureHandler* setFailureHandler(FailureHandler* handler);
  // Hands the message to the failure handler; false when there is none.
  static bool reportFailure(const char* message);
  // Runs f; an exception out of it goes to the failure handler, or on as
  // thrown when there is none.
  template <typename F> static void runReportingFailure(F f) {
    try {
      f();
    } catch (plat::Exception& e) {
      if (!reportFailure(e.str()))
        throw;
    } catch (std::exception& e) {
      if (!reportFailure(e.what()))
        throw;
    }
  }
  // Allocates n colours in cmap, falling back to the nearest existing cells.
  static void getColours(Display* dpy, XColor* colours, int n);
  // Depth-first search below w for a window named name; 0 when none.
  static Window findWindowByName(Display* dpy, Window w, const char* name);
  // Releases the process-wide resources (the program's exit does it too).
  static void shutdown(Display* dpy);

  virtual void map();
  virtual void unmap();
  // After unmap() of a managed top-level window: waits, up to a second, until
  // the window manager has let the window go (the window is a child of the
  // root again and its WM_STATE is gone or withdrawn). Until then the
  // manager may still move and resize the window as it lets it go, undoing
  // what was changed meanwhile.
  void waitReleasedByManager();
  virtual void resizeNotify() {}
  virtual void takeFocus(Time) {}
  // The answer to a conversion this window asked for; type 0 on failure.
  virtual void selectionNotify(XSelectionEvent* event, Atom type, int format, int nitems,
                               const unsigned char* data);
  // Write the selection's text for target into requestor's property; false
  // refuses.
  virtual bool selectionRequest(Window requestor, Atom selection, Atom target, Atom property);

  TXEventHandler* setEventHandler(TXEventHandler* handler);
  void addEventMask(long mask);
  void removeEventMask(long mask);
  void setName(const char* utf8);
  void setupToplevel(const char* name, TXDeleteWindowCallback* callback = nullptr, int argc = 0,
                     char** argv = nullptr, const char* className = nullptr, bool iconic = false);
  void setPosition(int x, int y);
  void setMinSize(int w, int h);
  void setMaxSize(int w, int h);
  void setFixedSize(bool fixed);
  void resize(int w, int h);
  void setGeometry(const char* geometry, int x, int y, int w, int h);
  void setBorderWidth(int width);
  void centreOnScreen();
  void positionOnRoot(int* x, int* y);
  void grabKeyboard(bool grab);
  void grabPointer(bool grab);
  bool isGrabbing() const;
  void setManaged(bool managed);
  void activate();
  void setInputFocus(Time time);
  void setUrgent(bool urgent);
  void iconify();
  void setIconic(bool iconic);
  void ownSelection(Atom selection, Time time);
  // Asks the selection's owner to convert it into property of this window.
  // A transfer in increments still pending on that property is given up, so
  // that its leftovers are not taken for the new answer (or it for them).
  void convertSelection(Atom selection, Atom target, Atom property, Time time);
  void storeCutBuffer(int length, const char* utf8);
  void setSelectionProperty(Window requestor, Atom property, Atom target, int length,
                            const char* utf8);
  void drawBevel(GC gc, int x, int y, int w, int h, int bevel, unsigned long fill,
                 unsigned long light, unsigned long dark, bool oval = false);

  // One event of this window (see handleXEvents).
  void handleXEvent(XEvent* event, TXWindow* modal);

  Window win() const { return win_; }
  Display* display() const { return dpy_; }
  int width() const { return width_; }
  int height() const { return height_; }
  bool isMapped() const { return mapped_; }
  bool isFocused() const { return focused_; }
  bool isToplevel() const { return toplevel_; }
  bool isManaged() const { return managed_; }
  bool ownsSelection(Atom selection) const;
  Time selectionOwnTime(Atom selection) const;

  static Colormap cmap;
  static GC defaultGC;
  static XFontStruct* defaultFS;
  static Font defaultFont;
  static unsigned long black, white, defaultFg, defaultBg, lightBg, darkBg, disabledFg, disabledBg,
      enabledBg, scrollbarBg;
  static Pixmap dot, tick, downArrow;
  static Time cutBufferTime;
  static char* defaultWindowClass;
  static const unsigned long* defaultWindowIconData;
  static int defaultWindowIconNElements;

protected:
  // Sends the size hints whole to the window manager.
  void sendHints();

  Display* dpy_;
  int xPad, yPad, bevel;
  TXWindow* parent_;
  Window win_;
  int width_, height_;
  TXEventHandler* eventHandler_;
  TXDeleteWindowCallback* dwc_;
  long eventMask_;
  XSizeHints sizeHints_;
  std::map<Atom, Time> selectionOwnTime_;
  std::map<Atom, bool> selectionOwned_;
  bool toplevel_;
  bool mapped_;
  bool focused_;
  bool managed_;
  bool fixedSize_;
  Atom incrProperty_;
  bool iconic_;

private:
  void handleSelectionRequest(XSelectionRequestEvent* req);
  void handleSelectionNotify(XSelectionEvent* ev);
  // Reads the property in full (up to the cap) and deletes it; true when it
  // existed. *data (freed with XFree) may be null.
  bool readProperty(Atom property, Atom* type, int* format, unsigned long* nitems,
                    unsigned char** data);
};
