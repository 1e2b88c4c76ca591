#include "wvw/WLayout.h"

#include "rfb/FullFramePixelBuffer.h"

#include "plat/Assert.h"
#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WLayout");

namespace wvw {

WLayout::WLayout() : focusChild_(nullptr), grabChild_(nullptr), popupChild_(nullptr) {
}

// The children are neither detached nor deleted: they may be gone already.
WLayout::~WLayout() = default;

std::vector<WLayout::Entry>::iterator WLayout::findChild(Widget* child) {
  return std::find_if(ws_.begin(), ws_.end(), [child](const Entry& e) { return e.first == child; });
}

void WLayout::addChild(Widget* child, Widget* before) {
  addChildAt(child, rfb::Point(0, 0), before);
}

void WLayout::addChildAt(Widget* child, const rfb::Point& position, Widget* before) {
  auto at = before ? findChild(before) : ws_.end();
  ws_.insert(at, Entry(child, position));
  child->setContainer(this);
  if (parent_) {
    attached_.insert(child);
    child->setParent(this, this);
    if (!focusChild_ && child->acceptsFocus())
      setFocus(child);
  }
}

void WLayout::addChildSized(Widget* child, const rfb::Rect& r, Widget* before) {
  addChildAt(child, r.tl, before);
  child->setSize(r.width(), r.height());
}

void WLayout::setChildRect(Widget* child, const rfb::Rect& r) {
  moveChild(child, r.tl);
  child->setSize(r.width(), r.height());
}

void WLayout::removeChild(Widget* child) {
  if (child == popupChild_)
    popupChild_ = nullptr;
  // Events must not reach a widget that left the list.
  if (child == grabChild_)
    grabChild_ = nullptr;
  if (child == focusChild_ && !focusNext())
    setFocus(nullptr, true);
  child->setContainer(nullptr);
  auto i = findChild(child);
  if (i == ws_.end())
    return;
  rfb::Rect r = rfb::Rect::at(i->second, child->width(), child->height());
  ws_.erase(i);
  if (attached_.erase(child)) {
    child->clearParent();
    invalidateRegion(regionOf(r));
  }
}

void WLayout::moveChild(Widget* child, const rfb::Point& position) {
  auto& ws = ws_;
  auto i = findChild(child);
  PLAT_ASSERT(i != ws.end());
  if (i->second == position)
    return;
  rfb::RectSet damage(rfb::Rect::at(i->second, child->width(), child->height()));
  damage.setUnion(damage, regionOf(rfb::Rect::at(position, child->width(), child->height())));
  i->second = position;
  invalidateRegion(damage);
}

rfb::Point WLayout::getChildPosition(Widget* child) {
  auto& ws = ws_;
  auto i = findChild(child);
  PLAT_ASSERT(i != ws.end());
  return i->second;
}

rfb::Rect WLayout::getChildRect(Widget* child) {
  return rfb::Rect::at(getChildPosition(child), child->width(), child->height());
}

void WLayout::getPreferredSize(int* width, int* height) {
  rfb::Rect all;
  for (const Entry& e : ws_)
    all = all.unionBoundary(rfb::Rect::at(e.second, e.first->width(), e.first->height()));
  *width = all.isEmpty() ? 0 : all.br.x;
  *height = all.isEmpty() ? 0 : all.br.y;
}

void WLayout::fitToChildren(int margin) {
  rfb::Rect all;
  for (const Entry& e : ws_)
    all = all.unionBoundary(rfb::Rect::at(e.second, e.first->width(), e.first->height()));
  rfb::Rect grown = growRect(all, margin);
  if (grown.tl != rfb::Point(0, 0))
    for (Entry& e : ws_)
      e.second = e.second.subtract(grown.tl);
  setSize(grown.width(), grown.height());
}

void WLayout::setPopup(Widget* widget, const rfb::Point& position) {
  if (popupChild_)
    removeChild(popupChild_);
  popupChild_ = widget;
  if (widget)
    addChildAt(widget, position, nullptr);
}

void WLayout::invalidateChild(Widget* child, const rfb::RectSet& region) {
  if (!parent_)
    return;
  auto i = findChild(child);
  if (i == ws_.end())
    return;
  rfb::RectSet moved(region);
  moved.translate(i->second);
  invalidateRegion(moved);
}

void WLayout::bell() {
  if (parent_)
    parent_->bell();
}

bool WLayout::isKeyHeld(uint32_t keysym) {
  return parent_ && parent_->isKeyHeld(keysym);
}

const char* WLayout::getClipboardText() {
  return parent_ ? parent_->getClipboardText() : nullptr;
}

void WLayout::setClipboardText(const char* text) {
  if (parent_)
    parent_->setClipboardText(text);
}

void WLayout::styleChanged() {
  for (const Entry& e : ws_)
    e.first->styleChanged();
}

bool WLayout::isFocused(Widget* child) {
  return hasFocus() && child == focusChild_;
}

bool WLayout::acceptsFocus() {
  if (!enabled_ || !visible_)
    return false;
  for (const Entry& e : ws_)
    if (e.first->acceptsFocus())
      return true;
  return false;
}

void WLayout::setParent(WParent* parent, WInputHandler* parentHandler) {
  Widget::setParent(parent, parentHandler);
  for (const Entry& e : ws_) {
    attached_.insert(e.first);
    e.first->setParent(this, this);
  }
}

void WLayout::clearParent() {
  for (const Entry& e : ws_)
    if (attached_.erase(e.first))
      e.first->clearParent();
  Widget::clearParent();
}

void WLayout::draw(rfb::WritablePixelBuffer* pb) {
  rfb::Rect area = pb->getRect();
  for (const Entry& e : ws_) {
    Widget* w = e.first;
    if (!w->isVisible())
      continue;
    rfb::Rect r = rfb::Rect::at(e.second, w->width(), w->height());
    if (r.intersect(area).isEmpty())
      continue;
    rfb::FullFramePixelBuffer view(*pb, r);
    w->draw(&view);
  }
}

void WLayout::pointerEvent(const rfb::Point& pos, int buttonMask) {
  Widget* previous = nullptr;
  bool hadGrab = grabChild_ != nullptr;
  if (buttonMask == 0) {
    previous = grabChild_;
    grabChild_ = nullptr;
  }
  Widget* target = grabChild_;
  if (target)
    previous = grabChild_;
  for (auto i = ws_.rbegin(); i != ws_.rend(); ++i) {
    Widget* w = i->first;
    if (!w->isVisible() || !w->isEnabled())
      continue;
    rfb::Rect r = rfb::Rect::at(i->second, w->width(), w->height());
    if (!previous && r.contains(lastPointer_))
      previous = w;
    if (!target && r.contains(pos))
      target = w;
  }
  rfb::Point local = pos;
  if (target) {
    auto i = findChild(target);
    if (i != ws_.end())
      local = pos.subtract(i->second);
  }
  if (buttonMask && !hadGrab)
    grabChild_ = target;
  if (buttonMask && popupChild_ && popupChild_ != target) {
    setPopup(nullptr, rfb::Point());
    lastPointer_ = pos;
    lastButtons_ = uint8_t(buttonMask);
    return;
  }
  if (previous && previous != target)
    previous->pointerLeave();
  if (target)
    target->pointerEvent(local, buttonMask);
  else
    Widget::pointerEvent(pos, buttonMask);
  lastPointer_ = pos;
  lastButtons_ = uint8_t(buttonMask);
}

void WLayout::pointerLeave() {
  if (grabChild_) {
    Widget* g = grabChild_;
    grabChild_ = nullptr;
    g->pointerLeave();
  } else {
    // Disabled children are told too: they may have been under the pointer
    // when they were disabled.
    for (auto i = ws_.rbegin(); i != ws_.rend(); ++i) {
      Widget* w = i->first;
      if (w->isVisible() &&
          rfb::Rect::at(i->second, w->width(), w->height()).contains(lastPointer_)) {
        w->pointerLeave();
        break;
      }
    }
  }
  Widget::pointerLeave();
}

void WLayout::keyEvent(uint32_t keysym, bool down) {
  if (focusChild_)
    focusChild_->keyEvent(keysym, down);
  else
    onKey(keysym, down, this);
}

void WLayout::setFocus(Widget* child, bool reverse) {
  if (isFocused(child))
    return;
  if (child && !child->acceptsFocus())
    return;
  if (parent_ && child)
    parent_->setFocus(this);
  Widget* old = focusChild_;
  focusChild_ = child;
  if (old && old != child)
    old->onFocusChange(reverse, old);
  if (child)
    child->onFocusChange(reverse, child);
}

bool WLayout::focusNext() {
  auto i = findChild(focusChild_);
  if (!focusChild_ || i == ws_.end())
    return false;
  size_t start = size_t(i - ws_.begin());
  size_t n = ws_.size();
  size_t k = start;
  for (;;) {
    if (++k == n) {
      if (parent_ && parent_->focusNext())
        return true;
      k = 0;
    }
    if (k == start) {
      if (focusChild_ && focusChild_->acceptsFocus())
        return false;
      setFocus(nullptr, false);
      return true;
    }
    if (ws_[k].first->acceptsFocus()) {
      setFocus(ws_[k].first, false);
      return true;
    }
  }
}

bool WLayout::focusPrevious() {
  auto i = findChild(focusChild_);
  if (!focusChild_ || i == ws_.end())
    return false;
  size_t start = size_t(i - ws_.begin());
  size_t n = ws_.size();
  size_t k = start;
  for (;;) {
    if (k == 0) {
      if (parent_ && parent_->focusPrevious())
        return true;
      k = n;
    }
    --k;
    if (k == start) {
      if (focusChild_ && focusChild_->acceptsFocus())
        return false;
      setFocus(nullptr, false);
      return true;
    }
    if (ws_[k].first->acceptsFocus()) {
      setFocus(ws_[k].first, true);
      return true;
    }
  }
}

void WLayout::focusFirst(bool reverse) {
  if (!reverse) {
    for (const Entry& e : ws_)
      if (e.first->acceptsFocus()) {
        setFocus(e.first, false);
        return;
      }
  } else {
    for (auto i = ws_.rbegin(); i != ws_.rend(); ++i)
      if (i->first->acceptsFocus()) {
        setFocus(i->first, true);
        return;
      }
  }
}

bool WLayout::onFocusChange(bool reverse, Widget* source) {
  if (source == this) {
    if (hasFocus()) {
      if (focusChild_ && !focusChild_->acceptsFocus())
        focusNext();
      if (!focusChild_)
        focusFirst(reverse);
    } else if (focusChild_) {
      setFocus(nullptr, reverse);
    }
  }
  return Widget::onFocusChange(reverse, source);
}

} // namespace wvw
