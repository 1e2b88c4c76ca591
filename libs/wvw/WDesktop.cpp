#include "wvw/WDesktop.h"

#include "rfb/Composite.h"
#include "rfb/FullFramePixelBuffer.h"

#include "plat/Exception.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

static plat::LogWriter vlog("WDesktop");

// A negative length would make every cut text empty at best: the range
// starts at 0.
static plat::IntParameter
    maxCutText("WMaxCutText",
               "The maximum length permitted for clipboard data received from a client", 1024, 0,
               INT_MAX, true);

namespace wvw {

namespace {
// Places a managed buffer at r without keeping its pixels: the buffer
// takes a new origin only together with its memory.
void placeAt(rfb::ManagedPixelBuffer& pb, const rfb::Rect& r) {
  pb.setSize(r.width(), r.height());
  size_t capacity = pb.capacity();
  pb.setData(pb.detachData(), capacity, r);
}
} // namespace

WDesktop::ClipSource::~ClipSource() = default;

WDesktop::WDesktop()
    : rfb::PixelBuffer(rfb::PixelLayout::pal8, 1, 1, nullptr), grab_(nullptr), focused_(nullptr),
      focusLocked_(false), colourCube_(6, 6, 6), arrowCursor_(rfb::PixelLayout::pal8, &colourCube_),
      cursor_(&arrowCursor_), frame_(rfb::PixelLayout::pal8, 1, 1, &colourCube_),
      backgroundImage_(nullptr), backgroundColour_(Widget::BevelBg), server_(nullptr),
      tracker_(nullptr, rfb::RectSet(rfb::Rect(0, 0, 1, 1))), windowHandler_(nullptr),
      windowClipSource_(nullptr) {
  colourMap_ = &colourCube_;
}

// The windows outlive the desktop: they must not keep it as their parent,
// nor the server its pixels.
WDesktop::~WDesktop() {
  // The window handler need not outlive the desktop: it hears nothing of
  // the windows leaving.
  windowHandler_ = nullptr;
  detachServer();
}

std::vector<WDesktop::Window>::iterator WDesktop::findWindow(Widget* w) {
  return std::find_if(windows_.begin(), windows_.end(),
                      [w](const Window& r) { return r.widget == w; });
}

std::vector<Widget*> WDesktop::getWindows() const {
  std::vector<Widget*> ws;
  for (const Window& r : windows_)
    ws.push_back(r.widget);
  return ws;
}

void WDesktop::flush() {
  if (server_)
    server_->tryUpdate();
}

void WDesktop::damage(const rfb::RectSet& region) {
  if (!server_ || region.isEmpty())
    return;
  tracker_.addChanged(region);
  flush();
}

void WDesktop::attachWindow(Widget* w, bool tellFocus) {
  w->onSizeChange(w);
  attached_.insert(w);
  w->setParent(this, this);
  if (tellFocus)
    w->onFocusChange(false, w);
}

// Server side

void WDesktop::attachServer(zav::DesktopServer* server) {
  server_ = server;
  tracker_.setUpdateTracker(server);
  server->setPixelBuffer(this);
  server->setCursor(cursor_);
  // A window told of its focus state may leave the desktop (a menu that has
  // not got the focus does): walk a copy.
  for (Widget* w : getWindows())
    if (findWindow(w) != windows_.end() && !attached_.count(w))
      attachWindow(w, true);
}

void WDesktop::detachServer() {
  if (server_)
    server_->setPixelBuffer(nullptr);
  server_ = nullptr;
  tracker_.setUpdateTracker(nullptr);
  while (!attached_.empty()) {
    Widget* w = *attached_.begin();
    attached_.erase(attached_.begin());
    w->clearParent();
  }
}

void WDesktop::keyEvent(uint32_t keysym, bool down) {
  if (down)
    heldKeys_.insert(keysym);
  else
    heldKeys_.erase(keysym);
  if (focused_)
    focused_->keyEvent(keysym, down);
}

void WDesktop::pointerEvent(const rfb::Point& pos, int buttonMask, bool relative) {
  if (relative) {
    fprintf(stderr, "WDesktop: ignoring relative pointer event\n");
    return;
  }
  if (server_)
    server_->pointerMoved(pos, buttonMask, relative);
  if (!windows_.empty()) {
    Widget* previous = nullptr;
    Widget* target = nullptr;
    if (buttonMask == 0) {
      previous = grab_;
      grab_ = nullptr;
    }
    if (grab_ && grab_ != focused_)
      grab_ = nullptr;
    if (grab_)
      target = previous = grab_;
    for (auto i = windows_.rbegin(); i != windows_.rend(); ++i) {
      Widget* w = i->widget;
      if (!w->isVisible() || !w->isEnabled())
        continue;
      rfb::Rect r = i->rect();
      if (!previous && r.contains(lastPointer_))
        previous = w;
      if (!target && r.contains(pos))
        target = w;
    }
    if (buttonMask != 0 && !grab_) {
      if (target != focused_)
        setFocus(target);
      if (target && target == focused_)
        grab_ = target;
    }
    // Either window may have left the desktop in between (a menu that lost
    // the focus removes itself, and may be deleted).
    if (previous && previous != target && findWindow(previous) != windows_.end())
      previous->pointerLeave();
    auto t = findWindow(target);
    if (target && target == focused_ && t != windows_.end())
      target->pointerEvent(pos.subtract(t->position), buttonMask);
  }
  flush();
  lastPointer_ = pos;
}

void WDesktop::clientCutText(const char* text, int length) {
  size_t n = text ? size_t(std::max(0, std::min(length, int(maxCutText)))) : 0;
  cutText_.reset(new char[n + 1]);
  if (n)
    memcpy(cutText_.get(), text, n);
  cutText_[n] = '\0';
  vlog.debug("clientCutText \"%s\"", cutText_.get());
}

// Rendering

const uint8_t* WDesktop::readPixels(const rfb::Rect& r, int* stride) {
  placeAt(frame_, r);
  bool covered = backgroundImage_ && backgroundRect_.intersect(r) == r;
  if (!covered)
    frame_.fillRect(r, colourToPixel(backgroundColour_, &frame_));
  if (backgroundImage_) {
    rfb::Rect part = backgroundRect_.intersect(r);
    if (!part.isEmpty()) {
      rfb::Point src =
          part.tl.subtract(backgroundRect_.tl).translate(backgroundImage_->getRect().tl);
      rfb::compositeRect(backgroundImage_, src, &frame_, part, rfb::srcCopy);
    }
  }
  if (windowClipSource_) {
    rfb::RectSet clip = windowClipSource_->getWindowClip();
    windowClip_.reset(new rfb::RectSet(clip));
  }
  rfb::RectSet area(r);
  if (windowClip_)
    area.setIntersect(area, *windowClip_);
  // Hidden windows are not drawn: they take no pointer input either, and a
  // window hides itself to leave the screen.
  for (const Window& rec : windows_) {
    if (!rec.widget->isVisible())
      continue;
    rfb::RectSet drawn(rec.rect());
    drawn.setIntersect(drawn, area);
    for (const rfb::RectSet::Box& b : drawn) {
      rfb::Rect d = rfb::RectSet::toRect(b);
      rfb::FullFramePixelBuffer part(frame_, d);
      rfb::FullFramePixelBuffer view(part, rec.rect().translate(d.tl.negate()));
      rec.widget->draw(&view);
    }
  }
  return frame_.getDataRW(r, stride);
}

// Parent side

void WDesktop::invalidateChild(Widget* window, const rfb::RectSet& region) {
  if (!server_)
    return;
  if (!windowDamage(window, region))
    throw plat::Exception("no such Widget");
}

// Hidden windows are not drawn, so they hide nothing either.
bool WDesktop::windowDamage(Widget* window, const rfb::RectSet& region) {
  rfb::RectSet above;
  auto i = windows_.rbegin();
  for (; i != windows_.rend() && i->widget != window; ++i)
    if (i->widget->isVisible())
      above.setUnion(above, rfb::RectSet(i->rect()));
  if (i == windows_.rend())
    return false;
  rfb::RectSet changed(region);
  changed.translate(i->position);
  changed.setSubtract(changed, above);
  if (windowClip_)
    changed.setIntersect(changed, *windowClip_);
  damage(changed);
  return true;
}

void WDesktop::bell() {
  if (server_)
    server_->bell();
}

void WDesktop::setFocus(Widget* window) {
  if (!focusLocked_)
    setFocusWindow(window);
}

bool WDesktop::isFocused(Widget* widget) {
  return widget == focused_;
}

bool WDesktop::focusNext() {
  if (!focused_ || focused_->acceptsFocus())
    return false;
  setFocusWindow(nullptr);
  return true;
}

bool WDesktop::focusPrevious() {
  return focusNext();
}

bool WDesktop::isKeyHeld(uint32_t keysym) {
  return heldKeys_.count(keysym) != 0;
}

const char* WDesktop::getClipboardText() {
  return cutText_.get();
}

void WDesktop::setClipboardText(const char* text) {
  size_t n = strlen(text);
  cutText_.reset(new char[n + 1]);
  memcpy(cutText_.get(), text, n + 1);
  if (server_)
    server_->serverCutText(cutText_.get(), int(std::min(n, size_t(INT_MAX))));
}

// Input handler side

bool WDesktop::onPointerMove(const rfb::Point& pos, Widget* source) {
  return windowHandler_ && windowHandler_->onPointerMove(pos, source);
}
bool WDesktop::onButtonPress(int button, Widget* source) {
  return windowHandler_ && windowHandler_->onButtonPress(button, source);
}
bool WDesktop::onButtonRelease(int button, Widget* source) {
  return windowHandler_ && windowHandler_->onButtonRelease(button, source);
}
bool WDesktop::onPointerLeave(Widget* source) {
  return windowHandler_ && windowHandler_->onPointerLeave(source);
}
bool WDesktop::onKey(uint32_t keysym, bool down, Widget* source) {
  return windowHandler_ && windowHandler_->onKey(keysym, down, source);
}
bool WDesktop::onFocusChange(bool reverse, Widget* source) {
  return windowHandler_ && windowHandler_->onFocusChange(reverse, source);
}
bool WDesktop::onClick(Widget* source) {
  return windowHandler_ && windowHandler_->onClick(source);
}
bool WDesktop::onChange(Widget* source) {
  return windowHandler_ && windowHandler_->onChange(source);
}
// A window reports its area before it hides itself, and the server may read
// the pixels at once, while the window is still drawn: the area it leaves is
// damaged again once it is hidden.
bool WDesktop::onVisibilityChange(Widget* source) {
  if (source && !source->isVisible() && server_)
    windowDamage(source, rfb::RectSet(rfb::Rect(0, 0, source->width(), source->height())));
  return windowHandler_ && windowHandler_->onVisibilityChange(source);
}
bool WDesktop::onAttach(Widget* source) {
  return windowHandler_ && windowHandler_->onAttach(source);
}
bool WDesktop::onDetach(Widget* source) {
  return windowHandler_ && windowHandler_->onDetach(source);
}
bool WDesktop::onEnabledChange(Widget* source) {
  return windowHandler_ && windowHandler_->onEnabledChange(source);
}
bool WDesktop::onSizeChange(Widget* source) {
  return windowHandler_ && windowHandler_->onSizeChange(source);
}
bool WDesktop::onPaste(Widget* source) {
  return windowHandler_ && windowHandler_->onPaste(source);
}
bool WDesktop::onCopy(Widget* source) {
  return windowHandler_ && windowHandler_->onCopy(source);
}

// Desktop management

void WDesktop::setSize(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  vlog.debug("setSize(%dx%d)", width, height);
  if (width == width_ && height == height_)
    return;
  width_ = width;
  height_ = height;
  tracker_.setClipRegion(rfb::RectSet(getRect()));
  if (server_)
    server_->setPixelBuffer(this);
}

void WDesktop::addWindow(Widget* window, const rfb::Point& position) {
  removeWindow(window);
  windows_.push_back(Window{window, position, focusLocked_});
  // The focus change that follows tells the window its state.
  if (server_)
    attachWindow(window, false);
  setFocusWindow(window);
}

bool WDesktop::removeWindow(Widget* window) {
  auto i = findWindow(window);
  if (i == windows_.end())
    return false;
  if (window == focused_)
    setFocusWindow(nullptr);
  // Telling the old focus may have changed the list.
  i = findWindow(window);
  if (i == windows_.end())
    return true;
  rfb::Rect r = i->rect();
  windows_.erase(i);
  // A grab ends with the window that held it, or its drag would go on.
  if (grab_ == window)
    grab_ = nullptr;
  if (attached_.erase(window))
    window->clearParent();
  damage(r);
  if (!focused_ && !windows_.empty())
    setFocusWindow(windows_.back().widget);
  return true;
}

void WDesktop::setOnlyWindow(Widget* window, const rfb::Point& position) {
  while (!windows_.empty())
    removeWindow(windows_.back().widget);
  if (window)
    addWindow(window, position);
}

bool WDesktop::moveWindow(Widget* window, const rfb::Point& position) {
  auto i = findWindow(window);
  if (i == windows_.end())
    return false;
  if (i->position == position)
    return true;
  rfb::RectSet changed(i->rect());
  i->position = position;
  changed.setUnion(changed, rfb::RectSet(i->rect()));
  damage(changed);
  return true;
}

rfb::Point WDesktop::getWindowPosition(Widget* window) {
  auto i = findWindow(window);
  return i == windows_.end() ? rfb::Point() : i->position;
}

void WDesktop::setWindowModal(Widget* window, bool modal) {
  auto i = findWindow(window);
  if (i == windows_.end())
    return;
  i->modal = modal;
  if (window == focused_)
    focusLocked_ = modal;
}

void WDesktop::setFocusWindow(Widget* window) {
  if (window == focused_)
    return;
  if (window && !window->acceptsFocus())
    return;
  Widget* previous = focused_;
  if (window) {
    auto i = findWindow(window);
    if (i == windows_.end())
      return;
    Window rec = *i;
    windows_.erase(i);
    windows_.push_back(rec);
    damage(rec.rect());
    focused_ = window;
    focusLocked_ = rec.modal;
  } else {
    focused_ = nullptr;
    focusLocked_ = false;
  }
  // Windows learn their state through isFocused. One that is not attached
  // (no server) has no parent to ask and learns it when it is attached.
  if (!previous)
    onFocusChange(false, nullptr);
  else if (attached_.count(previous))
    previous->onFocusChange(false, previous);
  // The old window may have moved the focus on while it was told.
  if (focused_ != window)
    return;
  if (!window)
    onFocusChange(false, nullptr);
  else if (attached_.count(window))
    window->onFocusChange(false, window);
}

void WDesktop::setBackgroundColour(const rfb::Colour& colour) {
  backgroundColour_ = colour;
  rfb::RectSet changed(getRect());
  for (const Window& w : windows_)
    if (w.widget->isVisible())
      changed.setSubtract(changed, rfb::RectSet(w.rect()));
  if (backgroundImage_)
    changed.setSubtract(changed, rfb::RectSet(backgroundRect_));
  damage(changed);
}

void WDesktop::setBackgroundImage(rfb::PixelBuffer* image, const rfb::Point& position) {
  damage(backgroundRect_);
  backgroundImage_ = image;
  if (image) {
    backgroundRect_ = rfb::Rect::at(position, image->width(), image->height());
    colourMap_ = image->getColourMap();
    setPixelLayout(image->getPF());
  } else {
    backgroundRect_ = rfb::Rect();
    colourMap_ = &colourCube_;
    setPixelLayout(format_);
  }
  damage(backgroundRect_);
}

void WDesktop::setPixelLayout(const rfb::PixelLayout& pf) {
  format_ = pf;
  frame_.setPF(pf);
  frame_.setColourMap(colourMap_, false);
  if (server_) {
    server_->setPixelBuffer(this);
    server_->setCursor(cursor_);
  }
}

void WDesktop::setCursor(rfb::Cursor* cursor) {
  cursor_ = cursor ? cursor : &arrowCursor_;
  if (server_)
    server_->setCursor(cursor_);
}

void WDesktop::setWindowClip(const rfb::RectSet* region) {
  rfb::RectSet whole(getRect());
  rfb::RectSet oldClip = windowClip_ ? *windowClip_ : whole;
  rfb::RectSet newClip = region ? *region : whole;
  windowClip_.reset(region ? new rfb::RectSet(*region) : nullptr);
  rfb::RectSet gone, added;
  gone.setSubtract(oldClip, newClip);
  added.setSubtract(newClip, oldClip);
  gone.setUnion(gone, added);
  damage(gone);
}

void WDesktop::setWindowClipSource(ClipSource* source) {
  windowClipSource_ = source;
  if (source) {
    rfb::RectSet clip = source->getWindowClip();
    setWindowClip(&clip);
  }
}

rfb::Point WDesktop::centrePosition(Widget* window, const rfb::Rect& r) {
  return rfb::Point((r.width() - window->width()) / 2, (r.height() - window->height()) / 2);
}

rfb::Point WDesktop::centreOnDesktop(Widget* window) {
  return centrePosition(window, getRect());
}

} // namespace wvw
