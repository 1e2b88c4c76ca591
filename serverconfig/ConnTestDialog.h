// "Connection Test": the window content that runs the connection test for
// the server's port and explains the outcome in words, with Start, Stop or
// Close, a progress bar that moves while the test runs, and Ctrl-C to copy
// the results. It owns its widgets, the canvas that holds them, the test
// session and the animation timer; the status callback and the socket
// manager are not owned.
#pragma once

#include "serverconfig/ConnTestSession.h"

#include "plat/Timer.h"
#include "wvw/WBevelledProgressBar.h"
#include "wvw/Style.h"
#include "wvw/WCanvas.h"
#include "wvw/WImage.h"
#include "wvw/WInputHandler.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"
#include "wvw/WScrollView.h"

#include <functional>

namespace serverconfig {

class ConnTestDialog : public wvw::WInputHandler, public plat::Timer::Callback {
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
  static const int progressSteps = 20;

  ConnTestDialog(StatusDialog::Callback* status, net::SocketManager* mgr,
                 const char* serviceHost = zav::ConnectionTest::testHost,
                 int servicePort = zav::ConnectionTest::servicePort);
  ~ConnTestDialog() override;

  void startTest();
  // Sets the texts by the running state and places the widgets.
  void updateLayout();

  bool onAttach(wvw::Widget* source) override;
  bool onClick(wvw::Widget* source) override;
  bool onSizeChange(wvw::Widget* source) override;
  // Ctrl-C: the details go to the clipboard through the host window.
  bool onCopy(wvw::Widget* source) override;
  bool timerCallback(plat::Timer* timer) override;

  ConnTestSession& session() { return session_; }
  wvw::WCanvas* content() { return &content_; }
  wvw::WLabel* header() { return &header_; }
  DetailsLabel* details() { return &details_; }
  wvw::WLabelButton* startButton() { return &start_; }
  wvw::WLabelButton* closeButton() { return &close_; }
  wvw::WBevelledProgressBar* progressBar() { return &progress_; }

  // Told when Close is clicked while no test runs: the window goes away.
  std::function<void()> onClose;

private:
  void sessionChanged();

  ConnTestSession session_;
  plat::Timer animation;
  wvw::WCanvas content_;
  wvw::WImage image_;
  wvw::WScrollView scroll_;
  DetailsLabel details_;
  wvw::WLabel header_;
  wvw::WLabelButton start_;
  wvw::WLabelButton close_;
  wvw::WBevelledProgressBar progress_;
};

} // namespace serverconfig
