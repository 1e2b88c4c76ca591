// Receives a viewer's input: keys, pointer movements and buttons, and the
// clipboard text the viewer sends. Every operation does nothing by default.
#pragma once

#include "rfb/Point.h"

#include <cstdint>

namespace rfb {

class InputHandler {
public:
  virtual ~InputHandler();
  virtual void keyEvent(uint32_t keysym, bool down);
  // pos is absolute unless relative is set; bit n of buttonMask is button n.
  virtual void pointerEvent(const Point& pos, int buttonMask, bool relative);
  // length bytes of text, not NUL-terminated.
  virtual void clientCutText(const char* text, int length);
};

} // namespace rfb
