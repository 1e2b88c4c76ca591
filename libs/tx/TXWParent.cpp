#include "tx/TXWParent.h"

#include "tx/TXWRootLayout.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <climits>
#include <cstring>

static plat::LogWriter vlog("TXWParent");

// Damage is gathered this long before it is painted.
static const int repaintDelayMs = 10;

namespace {

// The pixels of a rectangle of an image, addressed in the image's
// coordinates, which are the root widget's.
class ImageArea : public rfb::FullFramePixelBuffer {
public:
  ImageArea(rfb::WritablePixelBuffer* pb, const rfb::Rect& r)
      : rfb::FullFramePixelBuffer(pb->getPF(), r, pb->getColourMap()) {
    int stride = 0;
    uint8_t* data = pb->getDataRW(r, &stride);
    setBuffer(data, stride);
  }
};

} // namespace

TXWParent::TXWParent(Display* dpy, wvw::Widget* root, TXWindow* parent)
    : TXWindow(dpy, 1, 1, parent, 0), gc_(XCreateGC(dpy, win_, 0, nullptr)), root_(nullptr),
      heldKeys_(), repaintTimer_(this), inputDisabled_(false) {
  setEventHandler(this);
  addEventMask(KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
               EnterWindowMask | LeaveWindowMask | PointerMotionMask | ExposureMask |
               StructureNotifyMask);
  XSetWindowBackgroundPixmap(dpy, win_, None);
  setChild(root);
}

TXWParent::~TXWParent() {
  if (deleted_)
    *deleted_ = true;
  repaintTimer_.stop();
  if (mapped_)
    unmap();
  image_.reset();
  XFreeGC(dpy_, gc_);
}

void TXWParent::setChild(wvw::Widget* widget) {
  if (root_ && root_ != widget) {
    // The old root leaves this window altogether. Left attached, it would
    // draw through the window after the window had gone; left registered
    // with the root layout, its destruction would take the new root from
    // the window, or reach the window after it had gone.
    wvw::Widget* old = root_;
    root_ = nullptr;
    TXWRootLayout::get(dpy_)->unregisterWindow(old, this);
    if (old->getParent() == this)
      old->clearParent();
  }
  bool attach = widget && widget != root_ && mapped_;
  root_ = widget;
  if (!widget) {
    unmap();
    return;
  }
  widget->setEnabled(true);
  widget->setVisible(true);
  // A window already shown shows its new root as map() would have.
  if (attach) {
    widget->setParent(this, nullptr);
    widget->onFocusChange(false, widget);
    registerWithRootLayout();
  }
}

void TXWParent::registerWithRootLayout() {
  try {
    TXWRootLayout::get(dpy_)->registerWindow(root_, this);
  } catch (plat::Exception& e) {
    vlog.debug("0x%x root layout: %s", unsigned(win_), e.str());
  }
}

void TXWParent::map() {
  if (mapped_) {
    XRaiseWindow(dpy_, win_);
    return;
  }
  XMapWindow(dpy_, win_);
  mapped_ = true;
  if (root_) {
    root_->setParent(this, nullptr);
    root_->onFocusChange(false, root_);
    registerWithRootLayout();
  }
}

// Removing the root from the root layout may delete this window (a popup):
// it comes last.
void TXWParent::unmap() {
  TXWindow::unmap();
  if (!root_)
    return;
  wvw::Widget* root = root_;
  root->clearParent();
  TXWRootLayout::get(dpy_)->removeChild(root);
}

void TXWParent::setContentSize(int width, int height) {
  if (root_ && (root_->width() != width || root_->height() != height))
    root_->setSize(width, height);
  if (image_ && (image_->width() != width || image_->height() != height))
    image_->resize(width, height);
  if (width != width_ || height != height_)
    TXWindow::resize(width, height);
}

void TXWParent::fitToChild() {
  if (root_)
    setContentSize(root_->width(), root_->height());
}

void TXWParent::resizeNotify() {
  vlog.debug("0x%x resizeNotify %dx%d", unsigned(win_), width_, height_);
  setContentSize(width_, height_);
}

void TXWParent::invalidateChild(wvw::Widget*, const rfb::RectSet& region) {
  if (!image_)
    return;
  damage_.setUnion(damage_, region);
  if (!repaintTimer_.isStarted())
    repaintTimer_.start(repaintDelayMs);
}

void TXWParent::bell() {
  XBell(dpy_, 0);
}

void TXWParent::setFocus(wvw::Widget*) {
}

bool TXWParent::isFocused(wvw::Widget* child) {
  return child == root_;
}

bool TXWParent::focusNext() {
  return false;
}

bool TXWParent::focusPrevious() {
  return false;
}

bool TXWParent::isKeyHeld(uint32_t keysym) {
  return std::find(std::begin(heldKeys_), std::end(heldKeys_), keysym) != std::end(heldKeys_);
}

const char* TXWParent::getClipboardText() {
  return nullptr;
}

void TXWParent::setClipboardText(const char*) {
}

void TXWParent::paint(const rfb::Rect& r) {
  if (!image_ || !root_ || r.isEmpty())
    return;
  ImageArea area(image_.get(), r);
  root_->draw(&area);
  image_->put(win_, gc_, r);
}

bool TXWParent::timerCallback(plat::Timer* timer) {
  if (timer != &repaintTimer_)
    return false;
  rfb::RectSet clip(rfb::Rect(0, 0, std::min(image_ ? image_->width() : 0, int(INT16_MAX)),
                              std::min(image_ ? image_->height() : 0, int(INT16_MAX))));
  rfb::RectSet todo;
  todo.setIntersect(damage_, clip);
  damage_.clear();
  for (const rfb::Rect& r : todo.rects())
    paint(r);
  return false;
}

void TXWParent::handleEvent(TXWindow*, XEvent* ev) {
  switch (ev->type) {
  case KeyPress: {
    if (inputDisabled_ || !root_)
      return;
    vlog.debug("0x%x KeyPress keycode %d", unsigned(win_), ev->xkey.keycode);
    char text[256];
    KeySym ks = 0;
    XLookupString(&ev->xkey, text, sizeof(text), &ks, nullptr);
    uint32_t keysym = uint32_t(ks);
    bool wrapShift = false;
    if (keysym == XK_ISO_Left_Tab) {
      keysym = XK_Tab;
      wrapShift = !(ev->xkey.state & ShiftMask);
    }
    vlog.debug("0x%x send event to child", unsigned(win_));
    heldKeys_[ev->xkey.keycode & 0xFF] = keysym;
    // A handler may close (delete) this window.
    AliveGuard alive(this);
    if (wrapShift) {
      root_->keyEvent(XK_Shift_L, true);
      if (alive.gone() || !root_)
        return;
    }
    root_->keyEvent(keysym, true);
    if (wrapShift && !alive.gone() && root_)
      root_->keyEvent(XK_Shift_L, false);
    break;
  }
  case KeyRelease: {
    if (inputDisabled_ || !root_)
      return;
    vlog.debug("0x%x KeyRelease keycode %d", unsigned(win_), ev->xkey.keycode);
    uint32_t& held = heldKeys_[ev->xkey.keycode & 0xFF];
    if (held) {
      uint32_t keysym = held;
      held = 0;
      root_->keyEvent(keysym, false);
    }
    break;
  }
  case ButtonPress:
  case ButtonRelease: {
    if (inputDisabled_ || !root_)
      return;
    int mask = int((ev->xbutton.state >> 8) & 0x1F);
    unsigned button = ev->xbutton.button;
    int bit = button >= 1 && button <= 8 ? 1 << (button - 1) : 0;
    if (ev->type == ButtonPress) {
      mask |= bit;
      vlog.debug("0x%x ButtonPress (mask=%x)", unsigned(win_), unsigned(mask));
    } else {
      mask &= ~bit;
      vlog.debug("0x%x ButtonRelease (mask=%x)", unsigned(win_), unsigned(mask));
    }
    root_->pointerEvent(rfb::Point(ev->xbutton.x, ev->xbutton.y), mask);
    break;
  }
  case MotionNotify: {
    if (inputDisabled_ || !root_)
      return;
    // Only motions that follow at once are merged: one taken from behind a
    // press or release would move the pointer ahead of the button change.
    while (XEventsQueued(dpy_, QueuedAlready) > 0) {
      XEvent next;
      XPeekEvent(dpy_, &next);
      if (next.type != MotionNotify || next.xmotion.window != win_)
        break;
      XNextEvent(dpy_, ev);
    }
    root_->pointerEvent(rfb::Point(ev->xmotion.x, ev->xmotion.y),
                        int((ev->xmotion.state >> 8) & 0x1F));
    break;
  }
  case LeaveNotify:
    if (inputDisabled_ || !root_)
      return;
    root_->pointerLeave();
    break;
  case FocusOut:
    if (inputDisabled_)
      return;
    for (int keycode = 8; keycode < 256; keycode++) {
      if (heldKeys_[keycode] && root_) {
        uint32_t keysym = heldKeys_[keycode];
        heldKeys_[keycode] = 0;
        AliveGuard alive(this);
        root_->keyEvent(keysym, false);
        if (alive.gone())
          return;
      }
    }
    break;
  case MapNotify:
    vlog.debug("0x%x MapNotify", unsigned(win_));
    if (!image_) {
      damage_.clear();
      image_.reset(new TXImage(dpy_, width_, height_));
    }
    if (root_)
      registerWithRootLayout();
    break;
  case UnmapNotify:
    vlog.debug("0x%x UnmapNotify", unsigned(win_));
    repaintTimer_.stop();
    image_.reset();
    // May delete this window (a popup): nothing may follow.
    if (root_)
      TXWRootLayout::get(dpy_)->removeChild(root_);
    return;
  case Expose:
  case GraphicsExpose: {
    if (!image_ || !root_)
      return;
    int x = ev->type == Expose ? ev->xexpose.x : ev->xgraphicsexpose.x;
    int y = ev->type == Expose ? ev->xexpose.y : ev->xgraphicsexpose.y;
    int w = ev->type == Expose ? ev->xexpose.width : ev->xgraphicsexpose.width;
    int h = ev->type == Expose ? ev->xexpose.height : ev->xgraphicsexpose.height;
    rfb::Rect r = rfb::Rect(x, y, x + w, y + h)
                      .intersect(rfb::Rect(0, 0, root_->width(), root_->height()))
                      .intersect(image_->getRect());
    paint(r);
    break;
  }
  default:
    break;
  }
}
