#include "tx/TXWParentDecorated.h"

#include "tx/TXFullScreenManager.h"
#include "tx/TXWRootLayout.h"

#include "plat/Exception.h"

TXWParentDecorated::TXWParentDecorated(Display* dpy, wvw::Widget* widget, TXWindow* parent)
    : TXWParent(dpy, nullptr, parent), decorated_(false), savedManaged_(true), content_(nullptr),
      layout_(this), dragX_(0), dragY_(0) {
  TXWParent::setChild(&layout_);
  if (widget)
    setChild(widget);
}

TXWParentDecorated::~TXWParentDecorated() {
  if (decorated_ && TXFullScreenManager::get()->contains(this))
    TXFullScreenManager::get()->remove(this);
  // The layout goes before the host window's own teardown, which must not
  // reach it.
  if (mapped_)
    TXWParent::unmap();
  if (content_ && content_->getContainer() == &layout_)
    layout_.removeChild(content_);
  dropChild();
}

void TXWParentDecorated::setChild(wvw::Widget* widget) {
  if (!widget) {
    if (content_ && content_->getContainer() == &layout_)
      layout_.removeChild(content_);
    content_ = nullptr;
    TXWParent::setChild(nullptr);
    return;
  }
  if (!root_)
    TXWParent::setChild(&layout_);
  if (content_ && content_ != widget && content_->getContainer() == &layout_)
    layout_.removeChild(content_);
  content_ = widget;
  layout_.addChild(widget);
  layout_.layOut();
}

void TXWParentDecorated::setupToplevel(const char* name, TXDeleteWindowCallback* callback, int argc,
                                       char** argv, const char* className, bool iconic) {
  TXWindow::setupToplevel(name, callback, argc, argv, className, iconic);
  layout_.setTitle(name);
}

void TXWParentDecorated::setClientSize(int width, int height, bool fixed) {
  if (decorated_)
    setContentSize(width + layout_.horizontalTotal(), height + layout_.verticalTotal());
  else
    setContentSize(width, height);
  if (fixed)
    setFixedSize(true);
}

rfb::Rect TXWParentDecorated::clientRect() {
  if (!decorated_)
    return rfb::Rect(0, 0, width_, height_);
  int h = layout_.horizontalTotal() / 2, v = layout_.verticalTotal() / 2;
  return rfb::Rect(h, v, width_ - h, height_ - v);
}

void TXWParentDecorated::addDecorations() {
  if (decorated_)
    throw plat::Exception("Cannot add internal decorations to window.");
  savedManaged_ = isManaged();
  decorationsChanging();
  // Unmanaged first: a window manager takes a managed window's resize as a
  // request, which it may carry out later, over the size set here.
  if (savedManaged_)
    setManaged(false);
  setContentSize(width_ + layout_.horizontalTotal(), height_ + layout_.verticalTotal());
  decorated_ = true;
  layout_.setDecorated(true);
  TXFullScreenManager::get()->add(this);
  decorationsChanged();
}

void TXWParentDecorated::removeDecorations() {
  if (!decorated_)
    throw plat::Exception("Cannot remove internal decorations from window.");
  decorationsChanging();
  setContentSize(width_ - layout_.horizontalTotal(), height_ - layout_.verticalTotal());
  if (savedManaged_)
    setManaged(true);
  decorated_ = false;
  layout_.setDecorated(false);
  TXFullScreenManager::get()->remove(this);
  decorationsChanged();
}

void TXWParentDecorated::closeClicked() {
  unmap();
}

void TXWParentDecorated::handleEvent(TXWindow* window, XEvent* ev) {
  switch (ev->type) {
  case ButtonPress: {
    int mask = int((ev->xbutton.state >> 8) & 0x1F);
    if (ev->xbutton.button >= 1 && ev->xbutton.button <= 5)
      mask |= 1 << (ev->xbutton.button - 1);
    if (mask != 1 || !mapped_ || !decorated_)
      break;
    XRaiseWindow(dpy_, win_);
    TXFullScreenManager::get()->setActive(this, true);
    // The event's own root position, not the pointer's now: the pointer
    // may have moved on already, and that stretch of the drag would be lost.
    if (layout_.dragArea().contains(rfb::Point(ev->xbutton.x, ev->xbutton.y))) {
      dragX_ = ev->xbutton.x_root;
      dragY_ = ev->xbutton.y_root;
      TXWRootLayout::get(dpy_)->closePopup();
      grabPointer(true);
      return;
    }
    grabKeyboard(true);
    break;
  }
  case ButtonRelease:
    if (isGrabbing()) {
      grabPointer(false);
      grabKeyboard(true);
    }
    break;
  case MotionNotify:
    if (isGrabbing() && decorated_) {
      // Each motion event moves the window by its own step.
      int rootX = ev->xmotion.x_root, rootY = ev->xmotion.y_root;
      int x = 0, y = 0;
      positionOnRoot(&x, &y);
      XMoveWindow(dpy_, win_, x + rootX - dragX_, y + rootY - dragY_);
      dragX_ = rootX;
      dragY_ = rootY;
      return;
    }
    break;
  case UnmapNotify:
    if (decorated_)
      TXFullScreenManager::get()->setActive(this, false);
    break;
  default:
    break;
  }
  TXWParent::handleEvent(window, ev);
  if (ev->type == MapNotify && decorated_) {
    grabKeyboard(true);
    TXFullScreenManager::get()->setActive(this, true);
  }
}
