// The callbacks through which widgets report input and state changes. Each
// returns true when the handler dealt with the event (it then goes no
// further); the defaults return false. source is the widget concerned.
#pragma once

#include "rfb/Point.h"

#include <cstdint>

namespace wvw {

class Widget;

class WInputHandler {
public:
  virtual ~WInputHandler();
  virtual bool onPointerMove(const rfb::Point& pos, Widget* source);
  virtual bool onButtonPress(int button, Widget* source);
  virtual bool onButtonRelease(int button, Widget* source);
  virtual bool onPointerLeave(Widget* source);
  virtual bool onKey(uint32_t keysym, bool down, Widget* source);
  // Sent on gaining and on losing the focus; the receiver asks hasFocus().
  virtual bool onFocusChange(bool reverse, Widget* source);
  virtual bool onClick(Widget* source);
  virtual bool onChange(Widget* source);
  virtual bool onVisibilityChange(Widget* source);
  virtual bool onAttach(Widget* source);
  virtual bool onDetach(Widget* source);
  virtual bool onEnabledChange(Widget* source);
  virtual bool onSizeChange(Widget* source);
  virtual bool onPaste(Widget* source);
  virtual bool onCopy(Widget* source);
};

} // namespace wvw
