// "Connection Test": the resizable window that runs the connection test for
// the server's port and explains the outcome in words, with Start, Stop or
// Close, a progress bar that moves while the test runs, and Ctrl-C to copy
// the results. The copied text goes to cut buffer 0 and is served to other
// programs as PRIMARY and CLIPBOARD until they take those over. The window
// owns its widgets, the test session, the animation timer and the copied
// text; the status callback and the socket manager are not owned.
#pragma once

#include "serverconfig/ConnTestSession.h"
#include "serverconfig/ConnectionIcon.h"

#include "plat/Timer.h"
#include "tx/TXDialog.h"
#include "ui/TooltipHandler.h"
#include "wvw/Style.h"
#include "wvw/WBevelledProgressBar.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"
#include "wvw/WScrollView.h"

#include <string>

namespace serverconfig {

class ConnTestDialog : public TXDialog, public ui::TooltipHandler {
public:
  // Black text on white, at the top left, inside a sunken 2-pixel bevel.
  class DetailsLabel : public wvw::WLabel {
  public:
    DetailsLabel();
    void draw(rfb::WritablePixelBuffer* pb) override;

  private:
    wvw::Style ownStyle;
  };

  static const char* const title;
  static const char* const copyTooltip;
  static const int progressSteps = 20;

  // Builds the window, unmapped; shown with TXDialog::show. serviceHost and
  // servicePort name the test service (tests give a loopback stand-in).
  ConnTestDialog(Display* dpy, StatusDialog::Callback* status, net::SocketManager* mgr,
                 const char* serviceHost = zav::ConnectionTest::testHost,
                 int servicePort = zav::ConnectionTest::servicePort);
  ~ConnTestDialog() override;

  // Every showing of the window from unmapped starts with empty details.
  void initDialog() override;
  void startTest();
  // Sets the texts by the running state and places the widgets.
  void updateLayout();

  bool onClick(wvw::Widget* source) override;
  bool onSizeChange(wvw::Widget* source) override;
  // Ctrl-C: the details go to cut buffer 0, PRIMARY and CLIPBOARD.
  bool onCopy(wvw::Widget* source) override;
  // The animation timer moves the progress bar; the rest are the window's.
  bool timerCallback(plat::Timer* timer) override;
  // Serves the copied text as PRIMARY and CLIPBOARD.
  bool selectionRequest(Window requestor, Atom selection, Atom target, Atom property) override;
  // Notes the time of key presses, at which Ctrl-C takes the selections.
  void handleEvent(TXWindow* window, XEvent* event) override;

  ConnTestSession& session() { return session_; }
  wvw::WLabel* header() { return &header_; }
  DetailsLabel* details() { return &details_; }
  wvw::WScrollView* scrollView() { return &scroll_; }
  wvw::WImage* icon() { return &image_; }
  wvw::WLabelButton* startButton() { return &start_; }
  wvw::WLabelButton* closeButton() { return &close_; }
  wvw::WBevelledProgressBar* progressBar() { return &progress_; }
  // The text the last Ctrl-C copied.
  const std::string& copiedText() const { return copied_; }

private:
  void sessionChanged();

  ConnTestSession session_;
  plat::Timer animation;
  ConnectionIcon image_;
  wvw::WScrollView scroll_;
  DetailsLabel details_;
  wvw::WLabel header_;
  wvw::WLabelButton start_;
  wvw::WLabelButton close_;
  wvw::WBevelledProgressBar progress_;
  std::string copied_;
  Time lastKeyTime_ = CurrentTime;
};

} // namespace serverconfig
