// Told when the window manager asks to close a top-level window.
#pragma once

class TXWindow;

class TXDeleteWindowCallback {
public:
  virtual ~TXDeleteWindowCallback() = default;
  virtual void deleteWindow(TXWindow* window) = 0;
};
