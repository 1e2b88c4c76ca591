// What a widget asks of its container: the layout that holds it or, at the
// top of a tree, the host window. Regions and rectangles are in the child's
// coordinates.
#pragma once

#include "rfb/RectSet.h"

#include <cstdint>

namespace wvw {

class Style;
class Widget;

class WParent {
public:
  virtual ~WParent();
  // Repaint the region of the child some time later.
  virtual void invalidateChild(Widget* child, const rfb::RectSet& region) = 0;
  virtual void bell() = 0;
  virtual void setFocus(Widget* child) = 0;
  virtual bool isFocused(Widget* child) = 0;
  // Move the focus on; true when it moved.
  virtual bool focusNext() = 0;
  virtual bool focusPrevious() = 0;
  virtual bool isKeyHeld(uint32_t keysym) = 0;
  // The clipboard text, owned by the parent; null when there is none.
  virtual const char* getClipboardText() = 0;
  virtual void setClipboardText(const char* text) = 0;
  // The style for the children; null: none of its own.
  virtual Style* getStyle();
};

} // namespace wvw
