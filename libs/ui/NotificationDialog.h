// The base of the small borderless windows that pop up in the bottom-right
// corner of the screen (connect and disconnect notices, connection prompts,
// file-transfer notices): an override-redirect popup window whose content is
// a white layout with a black border (an owned member). Subclasses add their
// widgets to the layout, size it and call popUp with a time-out after which
// the popup hides itself.
#pragma once

#include "tx/TXWPopup.h"

#include "plat/Timer.h"
#include "wvw/WLayout.h"

namespace ui {

class NotificationDialog : public TXWPopup {
public:
  // The width of the black border, in pixels.
  static const int borderWidth = 1;

  // The white layout with its border.
  class Layout : public wvw::WLayout {
  public:
    void draw(rfb::WritablePixelBuffer* pb) override;
  };

  explicit NotificationDialog(Display* dpy);
  ~NotificationDialog() override;

  // Shows the popup at the bottom-right corner of the screen, sized to the
  // layout; a time-out above 0 (ms) hides it again after that long (a new
  // call restarts the count), 0 or less leaves it up.
  void popUp(int timeoutMs);
  // The own hide timer unmaps the popup; other timers go to the host window.
  bool timerCallback(plat::Timer* timer) override;

  Layout* layout() { return &layout_; }
  bool isHideTimerRunning() const { return hideTimer_.isStarted(); }

protected:
  Layout layout_;
  plat::Timer hideTimer_;
};

} // namespace ui
