#include "serverconfig/ConnTestDialog.h"

#include "rfb/PixelLayout.h"

#include <algorithm>

namespace serverconfig {

const char* const ConnTestDialog::title = "Connection Test";

namespace {
const int pad = 3;
const int buttonWidth = 76;
const int buttonHeight = 26;
const int iconSize = 48;
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

ConnTestDialog::ConnTestDialog(StatusDialog::Callback* status, net::SocketManager* mgr,
                               const char* serviceHost, int servicePort)
    : session_(status, mgr, serviceHost, servicePort), animation(this), header_(nullptr, 0),
      start_("Start"), close_("Close"), progress_(progressSteps) {
  session_.onChange = [this] { sessionChanged(); };
  image_.resizeImage(rfb::PixelLayout(32, 24, false, true, 255, 255, 255, 0, 8, 16), iconSize,
                     iconSize);
  image_.setSize(iconSize, iconSize);
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
  content_.setInputHandler(this);
  content_.setSize(400, 200);
  updateLayout();
}

ConnTestDialog::~ConnTestDialog() {
  content_.setInputHandler(nullptr);
  session_.onChange = nullptr;
}

void ConnTestDialog::startTest() {
  session_.startTest();
}

void ConnTestDialog::sessionChanged() {
  if (session_.isRunning()) {
    animation.start(100);
  } else {
    animation.stop();
  }
  details_.setText(session_.details().c_str());
  updateLayout();
}

void ConnTestDialog::updateLayout() {
  bool running = session_.isRunning();
  header_.setText(ConnTestSession::headerText(running));
  start_.setVisible(!running);
  close_.getLabel()->setText(running ? "Stop" : "Close");
  progress_.setVisible(running);

  int w = content_.width(), h = content_.height();
  int hw, hh;
  header_.setSize(std::max(w - iconSize - 4 * pad, 0), 0);
  header_.getPreferredSize(&hw, &hh);
  header_.setSize(std::max(w - iconSize - 4 * pad, 0), hh);
  header_.getPreferredSize(&hw, &hh);
  header_.setSize(hw, hh);

  int sw = std::max(w - 2 * pad, 0);
  int sh = std::max(h - hh - buttonHeight - 6 * pad, 0);
  content_.setChildRect(&scroll_, rfb::Rect(pad, pad, pad + sw, pad + sh));
  int dw, dh;
  details_.setSize(sw, 0);
  details_.getPreferredSize(&dw, &dh);
  int detailsHeight = std::max(dh + 8, sh);
  if (detailsHeight > sh)
    detailsHeight += 16;
  details_.setSize(sw, detailsHeight);

  int y2 = 3 * pad + sh;
  content_.moveChild(&image_, rfb::Point(pad, y2));
  content_.moveChild(&header_, rfb::Point(iconSize + 3 * pad, y2));
  int y3 = y2 + 2 * pad + hh;
  if (running)
    content_.setChildRect(&progress_,
                          rfb::Rect(pad, y3 + 3, pad + std::max(w - 3 * pad - 76, 0), y3 + 3 + 20));
  content_.moveChild(&start_, rfb::Point(w - 2 * pad - 2 * buttonWidth, y3));
  content_.moveChild(&close_, rfb::Point(w - pad - buttonWidth, y3));
  content_.invalidate();
}

bool ConnTestDialog::onAttach(wvw::Widget* source) {
  if (source == &content_) {
    session_.clearDetails();
    details_.setText("");
  }
  return false;
}

bool ConnTestDialog::onClick(wvw::Widget* source) {
  if (source == &close_) {
    if (session_.isRunning())
      session_.cancel();
    else if (onClose)
      onClose();
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
  content_.setClipboardText(details_.getText());
  return true;
}

bool ConnTestDialog::timerCallback(plat::Timer* timer) {
  if (timer != &animation)
    return false;
  uint32_t next = progress_.getBar()->getValue() + 1;
  if (next >= static_cast<uint32_t>(progressSteps))
    next = 0;
  progress_.getBar()->setProgress(next);
  return true;
}

} // namespace serverconfig
