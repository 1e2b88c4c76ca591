// Receives the X events of a window (or, as the fallback handler, the
// events that match no window, with a null window).
#pragma once

#include <X11/Xlib.h>

class TXWindow;

class TXEventHandler {
public:
  virtual ~TXEventHandler() = default;
  virtual void handleEvent(TXWindow* window, XEvent* event) = 0;
};
