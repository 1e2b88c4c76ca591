#include "tx/TXWRootLayout.h"

#include "tx/TXWParent.h"
#include "tx/TXWPopup.h"

#include "plat/Exception.h"

#include <memory>

namespace {
// The root layout of each display; emptied at exit.
std::map<Display*, std::unique_ptr<TXWRootLayout>>& rootLayouts() {
  static std::map<Display*, std::unique_ptr<TXWRootLayout>> layouts;
  return layouts;
}
} // namespace

TXWRootLayout::TXWRootLayout(Display* dpy) : dpy_(dpy) {
  width_ = DisplayWidth(dpy, 0);
  height_ = DisplayHeight(dpy, 0);
}

TXWRootLayout::~TXWRootLayout() {
  std::set<TXWPopup*> popups;
  popups.swap(popups_);
  windows_.clear();
  for (TXWPopup* popup : popups) {
    popup->dropChild();
    delete popup;
  }
}

TXWRootLayout* TXWRootLayout::get(Display* dpy) {
  std::unique_ptr<TXWRootLayout>& layout = rootLayouts()[dpy];
  if (!layout)
    layout.reset(new TXWRootLayout(dpy));
  return layout.get();
}

void TXWRootLayout::release(Display* dpy) {
  auto i = rootLayouts().find(dpy);
  if (i == rootLayouts().end())
    return;
  std::unique_ptr<TXWRootLayout> layout = std::move(i->second);
  rootLayouts().erase(i);
}

void TXWRootLayout::registerWindow(wvw::Widget* widget, TXWindow* window) {
  if (windows_.count(widget))
    return;
  windows_[widget] = window;
  widget->setContainer(this);
}

void TXWRootLayout::unregisterWindow(wvw::Widget* widget, TXWindow* window) {
  if (windowOf(widget) != window)
    return;
  takeEntry(widget);
  if (widget->getContainer() == this)
    widget->setContainer(nullptr);
}

TXWindow* TXWRootLayout::windowOf(wvw::Widget* widget) const {
  auto i = windows_.find(widget);
  return i == windows_.end() ? nullptr : i->second;
}

void TXWRootLayout::setSize(int, int) {
}

void TXWRootLayout::getPreferredSize(int* width, int* height) {
  *width = width_;
  *height = height_;
}

void TXWRootLayout::addChild(wvw::Widget* child, wvw::Widget* before) {
  addChildSized(child, rfb::Rect(0, 0, child->width(), child->height()), before);
}

void TXWRootLayout::addChildAt(wvw::Widget* child, const rfb::Point& position,
                               wvw::Widget* before) {
  addChildSized(child, rfb::Rect::at(position, child->width(), child->height()), before);
}

void TXWRootLayout::addChildSized(wvw::Widget* child, const rfb::Rect& r, wvw::Widget*) {
  child->setSize(r.width(), r.height());
  TXWPopup* popup = new TXWPopup(dpy_, child, nullptr, this);
  popups_.insert(popup);
  popup->setContentSize(r.width(), r.height());
  XMoveWindow(dpy_, popup->win(), r.tl.x, r.tl.y);
  popup->map();
}

void TXWRootLayout::removeChild(wvw::Widget* child) {
  if (windows_.count(child))
    removeEntry(child);
}

TXWindow* TXWRootLayout::takeEntry(wvw::Widget* widget) {
  auto i = windows_.find(widget);
  if (i == windows_.end())
    return nullptr;
  TXWindow* window = i->second;
  if (window->isGrabbing())
    window->grabPointer(false);
  windows_.erase(i);
  return window;
}

TXWPopup* TXWRootLayout::takePopup(TXWindow* window) {
  for (TXWPopup* p : popups_) {
    if (static_cast<TXWindow*>(p) == window) {
      popups_.erase(p);
      return p;
    }
  }
  return nullptr;
}

// The entry and the popup leave the books before the widget is detached:
// its detach handlers may delete it or open another popup.
void TXWRootLayout::removeEntry(wvw::Widget* widget) {
  TXWindow* window = takeEntry(widget);
  if (!window)
    return;
  std::unique_ptr<TXWPopup> popup(takePopup(window));
  if (!popup) {
    if (window->isMapped())
      window->unmap();
    return;
  }
  popup->dropChild();
  if (widget->getParent() == popup.get())
    widget->clearParent();
}

void TXWRootLayout::forgetChild(wvw::Widget* child) {
  wvw::WLayout::forgetChild(child);
  TXWindow* window = takeEntry(child);
  if (!window)
    return;
  if (TXWPopup* popup = takePopup(window)) {
    popup->dropChild();
    delete popup;
  } else if (TXWParent* host = dynamic_cast<TXWParent*>(window)) {
    host->dropChild();
  }
}

void TXWRootLayout::moveChild(wvw::Widget* child, const rfb::Point& position) {
  if (TXWindow* window = windowOf(child))
    XMoveWindow(dpy_, window->win(), position.x, position.y);
}

rfb::Point TXWRootLayout::getChildPosition(wvw::Widget* child) {
  TXWindow* window = windowOf(child);
  if (!window)
    throw plat::Exception("Unknown widget");
  int x = 0, y = 0;
  window->positionOnRoot(&x, &y);
  return rfb::Point(x, y);
}

rfb::Rect TXWRootLayout::getChildRect(wvw::Widget* child) {
  return rfb::Rect::at(getChildPosition(child), child->width(), child->height());
}

void TXWRootLayout::fitToChildren(int) {
}

void TXWRootLayout::setPopup(wvw::Widget* widget, const rfb::Point& position) {
  closePopup();
  wvw::WLayout::setPopup(widget, position);
  if (widget)
    if (TXWindow* window = windowOf(widget))
      window->grabPointer(true);
}

void TXWRootLayout::closePopup() {
  wvw::Widget* popup = getPopup();
  if (popup && windows_.count(popup))
    removeEntry(popup);
}
