// The small popup in the bottom right corner of the screen that the connect
// notices and the connection prompt appear in: an override-redirect widget
// host window showing a white layout, mapped by popUp and hidden by hide or by
// its own hide timer. The derived class adds its widgets to content() and
// sets the content size; the window owns the layout and the style.
#pragma once

#include "serverconfig/FilledLayout.h"
#include "tx/TXWParent.h"

#include "plat/Timer.h"
#include "wvw/Style.h"
#include "wvw/WLayout.h"

namespace zavconfig {

class NotificationPopup : public TXWParent {
public:
  // Space between the border of the popup and its widgets.
  static const int borderWidth = 8;

  explicit NotificationPopup(Display* dpy);
  ~NotificationPopup() override;

  // Shows the popup in the corner of the screen; a time-out of -1 keeps it
  // up until hide, any other hides it after that many milliseconds.
  void popUp(int timeoutMs);
  void hide();

  bool timerCallback(plat::Timer* timer) override;

  wvw::WLayout* content() { return &layout_; }
  // The style of the popup's widgets: the default one on white.
  wvw::Style* style() { return &style_; }

private:
  wvw::Style style_;
  serverconfig::FilledLayout layout_;
  plat::Timer hideTimer_;
};

} // namespace zavconfig
