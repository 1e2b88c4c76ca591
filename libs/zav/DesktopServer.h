// What a desktop asks of the remote-framebuffer server that serves it to
// viewers: the server tracks the desktop's damage (as an update tracker),
// reads pixels from the buffer it is handed and shows the cursor it is
// given. Buffer and cursor stay the desktop's.
#pragma once

#include "rfb/Point.h"
#include "rfb/UpdateTracker.h"

namespace rfb {
class Cursor;
class PixelBuffer;
} // namespace rfb

namespace zav {

class DesktopServer : public rfb::UpdateTracker {
public:
  ~DesktopServer() override;
  // The buffer to read the desktop from; null releases the previous one.
  virtual void setPixelBuffer(rfb::PixelBuffer* pb) = 0;
  // Clipboard text for the viewers: length bytes, not NUL-terminated.
  virtual void serverCutText(const char* text, int length) = 0;
  virtual void bell() = 0;
  // Sends the damage gathered so far to the viewers that wait for it.
  virtual void tryUpdate() = 0;
  virtual void setCursor(rfb::Cursor* cursor) = 0;
  // Called at the start of each pointer event the desktop receives.
  virtual void pointerMoved(const rfb::Point& pos, int buttonMask, bool relative) = 0;
};

} // namespace zav
