// Drives a shown dialog of the server status window's family on a test
// display with real input: clicks on its widgets and keys typed into it by
// xdotool (which moves the pointer over the window first, so that the
// keyboard, following the pointer, reaches it), and pictures of it for
// review. Include gtest before this header: the X headers' macros clash
// with it.
#pragma once

#include "tx/TXDialog.h"

#include "TxModalScript.h"
#include "TxTestDisplay.h"

#include <string>
#include <vector>

namespace testing_support {

class DialogDriver {
public:
  DialogDriver(TxTestDisplay& x, TXDialog& dialog) : x_(x), dialog_(dialog) {}

  // Waits until the shown dialog has its image (it was mapped).
  bool waitShown() {
    return x_.pumpUntil([&] { return dialog_.getImage() != nullptr; });
  }
  // The root position of a point of the dialog's content.
  rfb::Point onRoot(const rfb::Point& p) {
    int px = 0, py = 0;
    XSync(x_.dpy, False);
    dialog_.positionOnRoot(&px, &py);
    rfb::Point client = dialog_.clientRect().tl;
    return rfb::Point(px + client.x + p.x, py + client.y + p.y);
  }
  // Clicks the middle of a widget of the content.
  void click(wvw::Widget* w) {
    rfb::Point tl = w->mapPointTo(rfb::Point(0, 0), dialog_.content());
    rfb::Point at = onRoot(rfb::Point(tl.x + w->width() / 2, tl.y + w->height() / 2));
    x_.run({"xdotool", "mousemove", std::to_string(at.x), std::to_string(at.y), "click", "1"});
    x_.pumpFor(30);
  }
  // Points at the content's middle and presses keys there (xdotool key names).
  void keys(const std::vector<std::string>& names) {
    pointInside();
    std::vector<std::string> argv = {"xdotool", "key", "--delay", "5"};
    argv.insert(argv.end(), names.begin(), names.end());
    x_.run(argv);
    x_.pumpFor(30);
  }
  void type(const std::string& text) {
    pointInside();
    x_.run({"xdotool", "type", "--delay", "5", text});
    x_.pumpFor(30);
  }
  std::string screenshot(const std::string& name) {
    x_.pumpFor(50);
    return testing_support::screenshot(x_, dialog_.win(), name);
  }

private:
  void pointInside() {
    rfb::Point at = onRoot(rfb::Point(dialog_.content()->width() / 2, 2));
    x_.run({"xdotool", "mousemove", std::to_string(at.x), std::to_string(at.y)});
  }

  TxTestDisplay& x_;
  TXDialog& dialog_;
};

} // namespace testing_support
