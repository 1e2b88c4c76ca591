#include "serverconfig/ConnTestDialog.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <cstring>

namespace serverconfig {

const char* const ConnTestDialog::title = "Connection Test";
const char* const ConnTestDialog::copyTooltip =
    "Press Ctrl-C to copy results of the connection test to the clipboard.";

namespace {
const int buttonWidth = 76;
const int buttonHeight = 26;
const int iconSize = ConnectionIcon::iconSize;
} // namespace

ConnTestDialog::DetailsLabel::DetailsLabel() : wvw::WLabel(nullptr, 0) {
  ownStyle = *getStyle();
  ownStyle.textColour = rfb::Colour(0, 0, 0);
  ownStyle.background = rfb::Colour(255, 255, 255);
  setStyle(&ownStyle);
  setAlignment(0, 0);
  setMargin(6);
  setWordWrap(true);
}

void ConnTestDialog::DetailsLabel::draw(rfb::WritablePixelBuffer* pb) {
  wvw::WLabel::draw(pb);
  drawBevel(pb, rfb::Rect(0, 0, width(), height()), true, false);
}

ConnTestDialog::ConnTestDialog(Display* dpy, StatusDialog::Callback* status,
                               net::SocketManager* mgr, const char* serviceHost, int servicePort)
    : TXDialog(dpy, 400, 200, title, false, false), ui::TooltipHandler(&content_),
      session_(status, mgr, serviceHost, servicePort), animation(this), header_(nullptr, 0),
      start_("Start"), close_("Close"), progress_(progressSteps) {
  session_.onChange = [this] { sessionChanged(); };
  scroll_.setChild(&details_);
  header_.setMargin(0);
  header_.setAlignment(0, 0);
  header_.setWordWrap(true);
  start_.setSize(buttonWidth, buttonHeight);
  close_.setSize(buttonWidth, buttonHeight);
  content_.addChild(&image_);
  content_.addChild(&scroll_);
  content_.addChild(&header_);
  content_.addChild(&start_);
  content_.addChild(&close_);
  content_.addChild(&progress_);
  // The pointer over the results is over the label inside the scroll view.
  setTooltip(&scroll_, copyTooltip, 320);
  setTooltip(&details_, copyTooltip, 320);
  content_.setInputHandler(this);
  updateLayout();
}

ConnTestDialog::~ConnTestDialog() {
  session_.onChange = nullptr;
  hideTooltip();
  content_.setInputHandler(nullptr);
  content_.removeChild(&progress_);
  content_.removeChild(&close_);
  content_.removeChild(&start_);
  content_.removeChild(&header_);
  content_.removeChild(&scroll_);
  content_.removeChild(&image_);
  scroll_.setChild(nullptr);
}

// Only a window coming up starts with empty details: following the status
// text's test link while it is up shows it again as it is, a running test
// with it.
void ConnTestDialog::initDialog() {
  if (isMapped())
    return;
  session_.clearDetails();
  details_.setText("");
  updateLayout();
}

void ConnTestDialog::startTest() {
  session_.startTest();
}

void ConnTestDialog::sessionChanged() {
  if (session_.isRunning())
    animation.start(100);
  else
    animation.stop();
  details_.setText(session_.details().c_str());
  updateLayout();
}

void ConnTestDialog::updateLayout() {
  const int p = xPad, q = yPad;
  bool running = session_.isRunning();
  header_.setText(ConnTestSession::headerText(running));
  start_.setVisible(!running);
  close_.getLabel()->setText(running ? "Stop" : "Close");
  progress_.setVisible(running);

  int w = content_.width(), h = content_.height();
  int hw, hh;
  int headerWidth = std::max(w - iconSize - 4 * p, 0);
  header_.setSize(headerWidth, 0);
  header_.getPreferredSize(&hw, &hh);
  header_.setSize(headerWidth, hh);
  header_.getPreferredSize(&hw, &hh);
  header_.setSize(hw, hh);

  int sw = std::max(w - 2 * p, 0);
  int sh = std::max(h - hh - buttonHeight - 6 * q, 0);
  content_.setChildRect(&scroll_, rfb::Rect(p, q, p + sw, q + sh));
  int dw, dh;
  details_.setSize(sw, 0);
  details_.getPreferredSize(&dw, &dh);
  int detailsHeight = std::max(dh + 8, sh);
  if (detailsHeight > sh)
    detailsHeight += 16;
  details_.setSize(sw, detailsHeight);

  int y2 = 3 * q + sh;
  content_.moveChild(&image_, rfb::Point(p, y2));
  content_.moveChild(&header_, rfb::Point(iconSize + 3 * p, y2));
  int y3 = y2 + 2 * q + hh;
  if (running)
    content_.setChildRect(&progress_,
                          rfb::Rect(p, y3 + 3, p + std::max(w - 3 * p - buttonWidth, 0), y3 + 23));
  content_.moveChild(&start_, rfb::Point(w - 2 * p - 2 * buttonWidth, y3));
  content_.moveChild(&close_, rfb::Point(w - p - buttonWidth, y3));
  content_.invalidate();
}

bool ConnTestDialog::onClick(wvw::Widget* source) {
  if (source == &close_) {
    if (session_.isRunning())
      session_.cancel();
    else
      unmap();
  } else if (source == &start_) {
    startTest();
  }
  return false;
}

bool ConnTestDialog::onSizeChange(wvw::Widget* source) {
  if (source == &content_)
    updateLayout();
  return false;
}

bool ConnTestDialog::onCopy(wvw::Widget*) {
  const char* text = details_.getText();
  copied_ = text ? text : "";
  storeCutBuffer(int(copied_.size()), copied_.c_str());
  ownSelection(XA_PRIMARY, lastKeyTime_);
  ownSelection(xaCLIPBOARD, lastKeyTime_);
  return true;
}

bool ConnTestDialog::selectionRequest(Window requestor, Atom selection, Atom target,
                                      Atom property) {
  if (selection != XA_PRIMARY && selection != xaCLIPBOARD)
    return false;
  setSelectionProperty(requestor, property, target, int(copied_.size()), copied_.c_str());
  return true;
}

void ConnTestDialog::handleEvent(TXWindow* window, XEvent* event) {
  if (event->type == KeyPress)
    lastKeyTime_ = event->xkey.time;
  TXDialog::handleEvent(window, event);
}

bool ConnTestDialog::timerCallback(plat::Timer* timer) {
  if (timer != &animation)
    return TXDialog::timerCallback(timer);
  uint32_t next = progress_.getBar()->getValue() + 1;
  if (next >= static_cast<uint32_t>(progressSteps))
    next = 0;
  progress_.getBar()->setProgress(next);
  return true;
}

} // namespace serverconfig
