// An in-memory host for widget trees: implements wvw::WParent at the top of
// a tree and records what the tree asks of it (damage, bells, focus requests,
// clipboard), keeps a set of held keys and paints the tree into a pixel
// buffer. The root widget is not owned: declare the host after the widgets,
// since it detaches the root when it is destroyed.
#pragma once

#include "wvw/WParent.h"
#include "wvw/Widget.h"

#include "rfb/FullFramePixelBuffer.h"
#include "rfb/RectSet.h"

#include <set>
#include <string>
#include <vector>

namespace testing_support {

class WidgetTestHost : public wvw::WParent {
public:
  ~WidgetTestHost() override {
    if (root_ && root_->getParent() == this)
      root_->clearParent();
  }

  // Attaches the root (the host is its parent; handler is its parent
  // handler, often null).
  void attach(wvw::Widget* root, wvw::WInputHandler* handler = nullptr) {
    root_ = root;
    root->setParent(this, handler);
  }
  // The host window gains the keyboard focus: the root is told, as a host
  // tells it (a layout then focuses its first or, reverse, last child).
  void focusIn(bool reverse = false) {
    focused = true;
    root_->onFocusChange(reverse, root_);
  }
  void focusOut() {
    focused = false;
    root_->onFocusChange(false, root_);
  }
  void detach() {
    if (root_)
      root_->clearParent();
  }
  wvw::Widget* root() const { return root_; }

  // Input as a window system would deliver it to the root.
  void pointer(int x, int y, int buttons) { root_->pointerEvent(rfb::Point(x, y), buttons); }
  void leave() { root_->pointerLeave(); }
  void press(uint32_t keysym) {
    held.insert(keysym);
    root_->keyEvent(keysym, true);
  }
  void release(uint32_t keysym) {
    held.erase(keysym);
    root_->keyEvent(keysym, false);
  }
  // A key typed while others are held (modifiers stay held).
  void type(uint32_t keysym) {
    press(keysym);
    release(keysym);
  }

  // Paints the root into pb, whose rectangle is the area to repaint.
  void paint(rfb::WritablePixelBuffer* pb) { root_->draw(pb); }
  // Paints only the damage reported so far, box by box, then forgets it.
  void paintDamage(rfb::WritablePixelBuffer* pb) {
    for (const rfb::RectSet::Box& b : damage) {
      Area area(pb, rfb::RectSet::toRect(b).intersect(pb->getRect()));
      root_->draw(&area);
    }
    damage.clear();
  }

  // wvw::WParent
  void invalidateChild(wvw::Widget* child, const rfb::RectSet& region) override {
    invalidations.push_back(region);
    invalidatedBy.push_back(child);
    damage.setUnion(damage, region);
  }
  void bell() override { bells++; }
  void setFocus(wvw::Widget* child) override { focusRequests.push_back(child); }
  bool isFocused(wvw::Widget* child) override { return focused && child == root_; }
  bool focusNext() override {
    focusNextCalls++;
    return focusMoves;
  }
  bool focusPrevious() override {
    focusPreviousCalls++;
    return focusMoves;
  }
  bool isKeyHeld(uint32_t keysym) override { return held.count(keysym) != 0; }
  const char* getClipboardText() override { return hasClipboard ? clipboard.c_str() : nullptr; }
  void setClipboardText(const char* text) override {
    clipboard = text;
    hasClipboard = true;
  }
  wvw::Style* getStyle() override { return style; }

  // What the tree did.
  std::vector<rfb::RectSet> invalidations;
  std::vector<wvw::Widget*> invalidatedBy;
  rfb::RectSet damage;
  int bells = 0;
  std::vector<wvw::Widget*> focusRequests;
  int focusNextCalls = 0;
  int focusPreviousCalls = 0;

  // How the host answers.
  bool focused = true;     // the host window has the keyboard focus
  bool focusMoves = false; // answer of focusNext/focusPrevious
  std::set<uint32_t> held;
  std::string clipboard;
  bool hasClipboard = false;
  wvw::Style* style = nullptr;

private:
  // The pixels of a part of a buffer, in the buffer's own coordinates.
  class Area : public rfb::FullFramePixelBuffer {
  public:
    Area(rfb::WritablePixelBuffer* pb, const rfb::Rect& r)
        : rfb::FullFramePixelBuffer(pb->getPF(), r, pb->getColourMap()) {
      int stride = 0;
      uint8_t* data = pb->getDataRW(r, &stride);
      setBuffer(data, stride);
    }
  };

  wvw::Widget* root_ = nullptr;
};

} // namespace testing_support
