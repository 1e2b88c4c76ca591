#include "wvw/WLayout.h"

#include "rfb/FullFramePixelBuffer.h"

#include "plat/Assert.h"
#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WLayout");

namespace wvw {

WLayout::WLayout() : focusChild_(nullptr), grabChild_(nullptr), popupChild_(nullptr) {
}

// The children are neither detached (nobody is told) nor deleted. Those
// still listed are alive (a destroyed child leaves the list) and are let go
// of quietly, so that they do not reach back into this layout.
WLayout::~WLayout() {
  for (const Entry& e : ws_) {
    Widget* w = e.first;
    if (w->container_ == this)
      w->container_ = nullptr;
    if (w->parent_ == this) { // also one being detached right now
      w->parent_ = nullptr;
      w->parentHandler_ = nullptr;
    }
  }
}

void WLayout::forgetChild(Widget* child) {
  bool hadFocus = child == focusChild_;
  if (hadFocus)
    focusChild_ = nullptr;
  if (child == grabChild_) {
    grabChild_ = nullptr;
    grabSelf_ = true; // a grab exists only while a button is held
  }
  if (child == popupChild_)
    popupChild_ = nullptr;
  auto i = findChild(child);
  if (i != ws_.end()) {
    size_t at = size_t(i - ws_.begin());
    eraseEntry(i);
    if (hadFocus)
      lostFocusAt_ = at;
  }
  attached_.erase(child);
  // As on a removal, the focus moves on at once to the child that took the
  // destroyed one's place (or the next one that accepts it), so that the
  // new focus shows and Tab goes on from there. The destroyed child has
  // left every list first: none of its own handlers is called. A layout
  // that is not attached keeps the place until its next key or focus move.
  if (lostFocusAt_ != noLostFocus && parent_)
    regainLostFocus(false);
}

void WLayout::eraseEntry(std::vector<Entry>::iterator i) {
  size_t at = size_t(i - ws_.begin());
  ws_.erase(i);
  if (lostFocusAt_ != noLostFocus && at < lostFocusAt_)
    lostFocusAt_--;
}

bool WLayout::regainLostFocus(bool backwards) {
  if (lostFocusAt_ == noLostFocus)
    return false;
  size_t at = lostFocusAt_;
  lostFocusAt_ = noLostFocus;
  size_t n = ws_.size();
  if (focusChild_ || n == 0)
    return false;
  // Forwards: the child now at the lost one's place first; backwards: the
  // one before it first. Either way round the whole list.
  for (size_t k = 0; k < n; k++) {
    size_t j = backwards ? (at + n - 1 - k) % n : (at + k) % n;
    Widget* w = ws_[j].first;
    if (w->acceptsFocus()) {
      setFocus(w, backwards);
      return true;
    }
  }
  return false;
}

std::vector<WLayout::Entry>::iterator WLayout::findChild(Widget* child) {
  return std::find_if(ws_.begin(), ws_.end(), [child](const Entry& e) { return e.first == child; });
}

void WLayout::addChild(Widget* child, Widget* before) {
  addChildAt(child, rfb::Point(0, 0), before);
}

void WLayout::addChildAt(Widget* child, const rfb::Point& position, Widget* before) {
  // A widget is in one layout at most, and there once: one that already has
  // a container leaves it first (as a removal: focus and damage follow).
  if (WLayout* old = child->getContainer()) {
    AliveCheck self(this), added(child);
    old->removeChild(child);
    if (self.gone() || added.gone())
      return;
  }
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
  // Events must not reach a widget that left the list, nor the drag go on
  // to whatever child lies under the pointer.
  if (child == grabChild_) {
    grabChild_ = nullptr;
    grabSelf_ = true; // a grab exists only while a button is held
  }
  // When the focus moves on outside this layout, a parent need not have
  // told us; the removed child must not stay our focused one.
  if (child == focusChild_) {
    // Handlers told of the focus moving may delete the child or this layout.
    AliveCheck self(this), removed(child);
    focusNext();
    if (!self.gone() && !removed.gone() && child == focusChild_)
      setFocus(nullptr, true);
    if (self.gone() || removed.gone())
      return;
  }
  child->setContainer(nullptr);
  auto i = findChild(child);
  if (i == ws_.end())
    return;
  rfb::Rect r = rfb::Rect::at(i->second, child->width(), child->height());
  eraseEntry(i);
  if (attached_.erase(child)) {
    AliveCheck self(this);
    child->clearParent();
    if (!self.gone())
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

// The children as they are now: the handlers told of attaching and detaching
// may add or remove children while we walk them.
std::vector<Widget*> WLayout::childList() const {
  std::vector<Widget*> list;
  list.reserve(ws_.size());
  for (const Entry& e : ws_)
    list.push_back(e.first);
  return list;
}

void WLayout::setParent(WParent* parent, WInputHandler* parentHandler) {
  AliveCheck alive(this);
  Widget::setParent(parent, parentHandler);
  if (alive.gone())
    return;
  // Children added meanwhile were attached as they were added.
  for (Widget* w : childList()) {
    if (findChild(w) == ws_.end())
      continue;
    attached_.insert(w);
    w->setParent(this, this);
    if (alive.gone())
      return;
  }
}

void WLayout::clearParent() {
  AliveCheck alive(this);
  for (Widget* w : childList()) {
    if (attached_.erase(w))
      w->clearParent();
    if (alive.gone())
      return;
  }
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
  AliveCheck alive(this);
  Widget* previous = nullptr;
  bool hadGrab = grabChild_ != nullptr || grabSelf_;
  bool endSelfGrab = buttonMask == 0 && grabSelf_;
  if (buttonMask == 0) {
    previous = grabChild_;
    grabChild_ = nullptr;
    grabSelf_ = false;
  }
  // While the layout keeps the pointer, the events are its own; the release
  // that ends it is its own too, and then the child under the pointer
  // learns where the pointer is.
  if (grabSelf_ || endSelfGrab) {
    Widget::pointerEvent(pos, buttonMask);
    if (alive.gone())
      return;
    if (grabSelf_) {
      lastPointer_ = pos;
      lastButtons_ = uint8_t(buttonMask);
      return;
    }
  }
  Widget* target = grabChild_;
  if (target)
    previous = grabChild_;
  for (auto i = ws_.rbegin(); i != ws_.rend(); ++i) {
    Widget* w = i->first;
    if (!w->isVisible() || !w->isEnabled())
      continue;
    rfb::Rect r = rfb::Rect::at(i->second, w->width(), w->height());
    if (!previous && !endSelfGrab && r.contains(lastPointer_))
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
  if (buttonMask && !hadGrab) {
    grabChild_ = target;
    grabSelf_ = !target;
  }
  if (buttonMask && popupChild_ && popupChild_ != target) {
    setPopup(nullptr, rfb::Point());
    if (alive.gone())
      return;
    lastPointer_ = pos;
    lastButtons_ = uint8_t(buttonMask);
    return;
  }
  if (previous && previous != target) {
    previous->pointerLeave();
    if (alive.gone())
      return;
    // Whoever heard of the leave may have removed (or deleted) the target:
    // it gets no more events, and the pointer is then over the layout.
    if (target && findChild(target) == ws_.end())
      target = nullptr;
  }
  if (target)
    target->pointerEvent(local, buttonMask);
  else
    Widget::pointerEvent(pos, buttonMask);
  if (alive.gone())
    return;
  lastPointer_ = pos;
  lastButtons_ = uint8_t(buttonMask);
}

void WLayout::pointerLeave() {
  AliveCheck alive(this);
  grabSelf_ = false;
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
  if (alive.gone())
    return;
  Widget::pointerLeave();
}

void WLayout::keyEvent(uint32_t keysym, bool down) {
  if (lostFocusAt_ != noLostFocus) {
    AliveCheck alive(this);
    regainLostFocus(false);
    if (alive.gone())
      return;
  }
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
  if (parent_ && child) {
    AliveCheck alive(this);
    parent_->setFocus(this);
    if (alive.gone())
      return;
  }
  Widget* old = focusChild_;
  focusChild_ = child;
  lostFocusAt_ = noLostFocus;
  if (old && old != child) {
    if (!child) {
      old->onFocusChange(reverse, old);
      return;
    }
    // The old child's handlers may delete the new one.
    AliveCheck alive(child);
    old->onFocusChange(reverse, old);
    if (alive.gone())
      return;
  }
  if (child)
    child->onFocusChange(reverse, child);
}

bool WLayout::focusNext() {
  return moveFocus(false);
}

bool WLayout::focusPrevious() {
  return moveFocus(true);
}

// Walks the list from the focused child, forwards or backwards, to the next
// child that accepts the focus; at the end of the list the parent is asked
// to move on before the walk wraps round.
bool WLayout::moveFocus(bool backwards) {
  if (!focusChild_ && lostFocusAt_ != noLostFocus)
    return regainLostFocus(backwards);
  auto i = findChild(focusChild_);
  if (!focusChild_ || i == ws_.end())
    return false;
  size_t n = ws_.size();
  size_t start = size_t(i - ws_.begin());
  size_t k = start;
  for (;;) {
    if (k == (backwards ? 0 : n - 1)) {
      AliveCheck self(this);
      if (parent_ && (backwards ? parent_->focusPrevious() : parent_->focusNext())) {
        // The focus moved on outside this layout, though the parent need not
        // have told us: a child that was hidden or disabled must not keep it.
        if (!self.gone() && focusChild_ && !focusChild_->acceptsFocus())
          setFocus(nullptr, backwards);
        return true;
      }
      if (self.gone())
        return true;
      k = backwards ? n - 1 : 0;
    } else {
      k = backwards ? k - 1 : k + 1;
    }
    if (k == start) {
      // Round the list and back: nothing else takes the focus.
      if (focusChild_ && focusChild_->acceptsFocus())
        return false;
      setFocus(nullptr, false);
      return true;
    }
    if (ws_[k].first->acceptsFocus()) {
      setFocus(ws_[k].first, backwards);
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
    AliveCheck alive(this);
    if (hasFocus()) {
      if (focusChild_ && !focusChild_->acceptsFocus())
        focusNext();
      if (!alive.gone() && !focusChild_)
        focusFirst(reverse);
    } else if (focusChild_) {
      setFocus(nullptr, reverse);
    }
    if (alive.gone())
      return true;
  }
  return Widget::onFocusChange(reverse, source);
}

} // namespace wvw
