// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "tx/TXDialog.h"

#include "tx/TXFullScreenManager.h"
#include "tx/TXWParent.h"

#include "TxModalScript.h"
#include "TxTestDisplay.h"
#include "TxTestWidgets.h"

#include "plat/Exception.h"
#include "plat/unix/EndSignal.h"

#include <climits>
#include <signal.h>
#include <sys/time.h>

using testing_support::overrideRedirect;
using testing_support::sendDeleteWindow;
using testing_support::TxModalScript;
using testing_support::TxTestDisplay;

namespace {

rfb::Point operator+(const rfb::Point& a, const rfb::Point& b) {
  return a.translate(b);
}

// A dialog whose content is one patch; initDialog starts the script, so the
// script runs in the modal loop's own timer manager.
class TestDialog : public TXDialog, public TXDialog::Callback {
public:
  TestDialog(Display* dpy, bool modal, bool centre = true)
      : TXDialog(dpy, 200, 100, "Test dialog", modal, centre) {
    content_.addChildSized(&patch, rfb::Rect(10, 10, 60, 40));
    setCallback(this);
  }
  ~TestDialog() override { content_.removeChild(&patch); }
  void initDialog() override {
    inits++;
    if (script)
      script->start();
  }
  void dialogFinished(TXDialog*, bool result) override { finished.push_back(result); }
  void finish(bool result) { endDialog(result); }

  Patch patch;
  TxModalScript* script = nullptr;
  int inits = 0;
  std::vector<bool> finished;
};

// Runs each test without and with a window manager.
class DialogTest : public ::testing::TestWithParam<bool> {
protected:
  void SetUp() override {
    if (GetParam()) {
      ASSERT_TRUE(testing_support::startWindowManager(x));
    }
  }
  // Waits until the window is viewable and painted.
  bool waitShown(TXWParent& w) {
    return x.pumpUntil([&] {
      XWindowAttributes attr;
      XGetWindowAttributes(x.dpy, w.win(), &attr);
      return w.getImage() != nullptr && attr.map_state == IsViewable;
    });
  }
  rfb::Point rootPos(TXWindow& w) {
    int px = 0, py = 0;
    XSync(x.dpy, False);
    w.positionOnRoot(&px, &py);
    return rfb::Point(px, py);
  }

  TxTestDisplay x{"1280x1024x24"};
};

} // namespace

TEST_P(DialogTest, ModalDialogClosedByTheWindowManagerReturnsFalseAndReportsOnce) {
  TestDialog dialog(x.dpy, true);
  TxModalScript script({[&] { return dialog.getImage() != nullptr; },
                        [&] {
                          sendDeleteWindow(x.dpy, dialog.win());
                          return true;
                        }});
  dialog.script = &script;
  EXPECT_FALSE(dialog.show());
  EXPECT_TRUE(dialog.isDone());
  EXPECT_FALSE(dialog.isMapped());
  EXPECT_EQ(dialog.finished, std::vector<bool>{false});
  EXPECT_EQ(dialog.inits, 1);
}

TEST_P(DialogTest, ModalDialogEndedByItsOwnCodeReportsItsResultOnce) {
  TestDialog dialog(x.dpy, true);
  TxModalScript script({[&] { return dialog.getImage() != nullptr; },
                        [&] {
                          dialog.finish(true);
                          return true;
                        }});
  dialog.script = &script;
  EXPECT_TRUE(dialog.show());
  EXPECT_EQ(dialog.finished, std::vector<bool>{true});
  // A second run starts afresh.
  dialog.finished.clear();
  script.start();
  EXPECT_TRUE(dialog.show());
  EXPECT_EQ(dialog.finished, std::vector<bool>{true});
}

TEST_P(DialogTest, ClicksOnOtherWindowsAreDroppedWhileAModalDialogRuns) {
  Recorder recorder;
  TXWParent other(x.dpy, &recorder);
  other.setContentSize(100, 100);
  other.setPosition(0, 0);
  other.map();
  ASSERT_TRUE(waitShown(other));
  rfb::Point at = rootPos(other) + rfb::Point(50, 50);
  // Without a dialog the click arrives.
  x.run({"xdotool", "mousemove", std::to_string(at.x), std::to_string(at.y), "click", "1"});
  ASSERT_TRUE(x.pumpUntil([&] { return recorder.masks.size() >= 2; }));
  recorder.masks.clear();

  TestDialog dialog(x.dpy, true);
  TxModalScript script(
      {[&] { return dialog.getImage() != nullptr; },
       script.spawn({"xdotool", "mousemove", std::to_string(at.x), std::to_string(at.y), "click",
                     "1", "mousemove", std::to_string(at.x + 10), std::to_string(at.y)}),
       script.waitClient(), script.pause(20),
       [&] {
         sendDeleteWindow(x.dpy, dialog.win());
         return true;
       }});
  dialog.script = &script;
  EXPECT_FALSE(dialog.show());
  x.pumpFor(50);
  for (int mask : recorder.masks)
    EXPECT_EQ(mask, 0) << "a press reached the other window";
}

TEST_P(DialogTest, InterruptedWaitsDoNotEndTheModalLoop) {
  struct sigaction action = {}, old = {};
  action.sa_handler = [](int) {};
  sigaction(SIGALRM, &action, &old); // no SA_RESTART: select() fails with EINTR
  itimerval every = {{0, 20000}, {0, 20000}}, off = {};
  setitimer(ITIMER_REAL, &every, nullptr);
  TestDialog dialog(x.dpy, true);
  TxModalScript script({[&] { return dialog.getImage() != nullptr; }, script.pause(30),
                        [&] {
                          sendDeleteWindow(x.dpy, dialog.win());
                          return true;
                        }});
  dialog.script = &script;
  bool result = true;
  EXPECT_NO_THROW(result = dialog.show());
  setitimer(ITIMER_REAL, &off, nullptr);
  sigaction(SIGALRM, &old, nullptr);
  EXPECT_FALSE(result);
}

// A signal whose handler asks the program to end, arriving while the modal
// loop waits with nothing else to do, leaves the loop at once; so does a
// request made before the dialog is shown.
TEST_P(DialogTest, AnEndRequestLeavesTheModalLoopAtOnce) {
  os::EndSignal::Scope endSignal;
  struct sigaction action = {}, old = {};
  action.sa_handler = [](int) { os::EndSignal::raise(); };
  sigaction(SIGALRM, &action, &old);
  TestDialog dialog(x.dpy, true);
  TxModalScript script({[&] { return dialog.getImage() != nullptr; },
                        [&] {
                          itimerval once = {{0, 0}, {0, 100000}};
                          setitimer(ITIMER_REAL, &once, nullptr);
                          return true;
                        }});
  dialog.script = &script;
  EXPECT_THROW(dialog.show(), os::EndSignal::Ended);
  sigaction(SIGALRM, &old, nullptr);
  EXPECT_TRUE(dialog.finished.empty());
  // The loop is left behind: the dialog can be shown again, and the request
  // still stands.
  dialog.script = nullptr;
  EXPECT_THROW(dialog.show(), os::EndSignal::Ended);
}

// A timer of the largest time there is, running in the modal loop, bounds
// its wait as any other: the loop waits on and the window manager's close
// still ends it.
TEST_P(DialogTest, TheLargestTimerTimeBoundsTheModalWait) {
  class Nop : public plat::Timer::Callback {
    bool timerCallback(plat::Timer*) override { return false; }
  } nop;
  TestDialog dialog(x.dpy, true);
  plat::Timer longTimer(&nop);
  TxModalScript script({[&] {
                          longTimer.start(INT_MAX);
                          return dialog.getImage() != nullptr;
                        },
                        [&] {
                          sendDeleteWindow(x.dpy, dialog.win());
                          return true;
                        }});
  dialog.script = &script;
  EXPECT_FALSE(dialog.show());
  EXPECT_EQ(dialog.finished, std::vector<bool>{false});
}

TEST_P(DialogTest, NonModalDialogReturnsAtOnceAndIsBroughtUpAfresh) {
  TestDialog dialog(x.dpy, false);
  EXPECT_TRUE(dialog.show());
  ASSERT_TRUE(waitShown(dialog));
  EXPECT_TRUE(dialog.show()); // already shown: unmapped and mapped again
  EXPECT_EQ(dialog.inits, 2);
  ASSERT_TRUE(waitShown(dialog));
  sendDeleteWindow(x.dpy, dialog.win());
  ASSERT_TRUE(x.pumpUntil([&] { return !dialog.finished.empty(); }));
  EXPECT_EQ(dialog.finished, std::vector<bool>{false});
  EXPECT_FALSE(dialog.isMapped());
}

TEST_P(DialogTest, CentredDialogIsCentredAgainOnlyWhenItsSizeChanges) {
  TestDialog dialog(x.dpy, false);
  XSizeHints hints;
  long supplied;
  auto position = [&] {
    XGetWMNormalHints(x.dpy, dialog.win(), &hints, &supplied);
    return rfb::Point(hints.x, hints.y);
  };
  EXPECT_EQ(position(), rfb::Point((1280 - 200 - 10) / 2, (1024 - 100 - 30) / 2));
  dialog.setPosition(5, 5);
  dialog.setContentSize(200, 100);
  EXPECT_EQ(position(), rfb::Point(5, 5));
  dialog.setContentSize(400, 300);
  EXPECT_EQ(position(), rfb::Point((1280 - 400 - 10) / 2, (1024 - 300 - 30) / 2));
  // Switching the decorations changes the size but does not move it.
  dialog.setPosition(5, 5);
  dialog.setDecorations(true);
  EXPECT_EQ(position(), rfb::Point(5, 5));
}

TEST_P(DialogTest, DecorationsAddedAndRemovedRestoreSizeAndManagedState) {
  TestDialog dialog(x.dpy, false);
  EXPECT_TRUE(dialog.show());
  ASSERT_TRUE(waitShown(dialog));
  ASSERT_TRUE(dialog.isManaged());
  dialog.setDecorations(true);
  ASSERT_TRUE(waitShown(dialog));
  DecoratedLayout* layout = dialog.decoratedLayout();
  EXPECT_EQ(dialog.width(), 200 + 8);
  EXPECT_EQ(dialog.height(), 100 + layout->verticalTotal());
  EXPECT_GT(layout->verticalTotal(), 8);
  EXPECT_FALSE(dialog.isManaged());
  EXPECT_TRUE(overrideRedirect(x.dpy, dialog.win()));
  EXPECT_EQ(dialog.clientRect(),
            rfb::Rect(4, layout->verticalTotal() / 2, 204,
                      100 + layout->verticalTotal() - layout->verticalTotal() / 2));
  EXPECT_EQ(dialog.content()->width(), 200);
  EXPECT_EQ(dialog.content()->height(), 100);
  EXPECT_TRUE(layout->isActive());
  EXPECT_THROW(dialog.addDecorations(), plat::Exception);

  dialog.setDecorations(false);
  ASSERT_TRUE(waitShown(dialog));
  EXPECT_EQ(dialog.width(), 200);
  EXPECT_EQ(dialog.height(), 100);
  EXPECT_TRUE(dialog.isManaged());
  EXPECT_FALSE(overrideRedirect(x.dpy, dialog.win()));
  EXPECT_FALSE(TXFullScreenManager::get()->contains(&dialog));
  try {
    dialog.removeDecorations();
    ADD_FAILURE() << "no exception";
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), "Cannot remove internal decorations from window.");
  }
}

TEST_P(DialogTest, AWindowThatWasOverrideRedirectStaysSo) {
  TestDialog dialog(x.dpy, false);
  dialog.setManaged(false);
  dialog.addDecorations();
  dialog.removeDecorations();
  EXPECT_FALSE(dialog.isManaged());
  EXPECT_TRUE(overrideRedirect(x.dpy, dialog.win()));
}

TEST_P(DialogTest, DraggingTheDrawnTitleMovesTheWindowButTheCloseButtonDoesNot) {
  TestDialog dialog(x.dpy, false);
  dialog.setPosition(100, 100);
  dialog.showWithDecorations(true);
  ASSERT_TRUE(waitShown(dialog));
  x.pumpFor(30);
  rfb::Point start = rootPos(dialog);
  EXPECT_EQ(start, rfb::Point(100, 100));
  rfb::Rect drag = dialog.decoratedLayout()->dragArea();
  ASSERT_FALSE(drag.isEmpty());
  rfb::Point grip = start + rfb::Point(drag.tl.x + 20, drag.tl.y + 5);
  x.run({"xdotool", "mousemove", std::to_string(grip.x), std::to_string(grip.y), "mousedown", "1",
         "mousemove", std::to_string(grip.x + 30), std::to_string(grip.y + 10), "mousemove",
         std::to_string(grip.x + 60), std::to_string(grip.y + 40), "mouseup", "1"});
  ASSERT_TRUE(x.pumpUntil([&] { return rootPos(dialog) == rfb::Point(160, 140); }))
      << rootPos(dialog).x << "," << rootPos(dialog).y;
  EXPECT_FALSE(dialog.isGrabbing());

  // A press on the close button closes the dialog, without a drag.
  wvw::WBevelButton* close = dialog.decoratedLayout()->closeButton();
  rfb::Point button = rootPos(dialog) + dialog.decoratedLayout()->getChildPosition(close) +
                      rfb::Point(close->width() / 2, close->height() / 2);
  x.run({"xdotool", "mousemove", std::to_string(button.x), std::to_string(button.y)});
  x.pumpFor(30);
  x.run({"xdotool", "click", "1"});
  ASSERT_TRUE(x.pumpUntil([&] { return !dialog.finished.empty(); }));
  EXPECT_EQ(dialog.finished, std::vector<bool>{false});
  EXPECT_EQ(rootPos(dialog), rfb::Point(160, 140));
}

TEST_P(DialogTest, ClickingADecoratedWindowMakesItTheOnlyActiveOne) {
  TestDialog first(x.dpy, false, false), second(x.dpy, false, false);
  first.setPosition(50, 50);
  second.setPosition(400, 50);
  first.showWithDecorations(true);
  ASSERT_TRUE(waitShown(first));
  second.showWithDecorations(true);
  ASSERT_TRUE(waitShown(second));
  x.pumpFor(30);
  EXPECT_FALSE(first.decoratedLayout()->isActive());
  EXPECT_TRUE(second.decoratedLayout()->isActive());
  rfb::Point inside = rootPos(first) + rfb::Point(100, 60);
  x.run({"xdotool", "mousemove", std::to_string(inside.x), std::to_string(inside.y), "click", "1"});
  ASSERT_TRUE(x.pumpUntil([&] { return first.decoratedLayout()->isActive(); }));
  EXPECT_FALSE(second.decoratedLayout()->isActive());
  // Button 1 with button 3 held does not start a drag.
  rfb::Point grip = rootPos(second) + rfb::Point(30, 10);
  x.run({"xdotool", "mousemove", std::to_string(grip.x), std::to_string(grip.y), "mousedown", "3",
         "mousedown", "1", "mousemove", std::to_string(grip.x + 50), std::to_string(grip.y + 50),
         "mouseup", "1", "mouseup", "3"});
  x.pumpFor(50);
  EXPECT_EQ(rootPos(second), rfb::Point(400, 50));
  try {
    TestDialog stranger(x.dpy, false);
    TXFullScreenManager::get()->remove(&stranger);
    ADD_FAILURE() << "no exception";
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), "Unknown window");
  }
}

namespace {

// A timer that throws the first time it fires.
struct ThrowingTimer : plat::Timer::Callback {
  ThrowingTimer() : timer(this) {}
  bool timerCallback(plat::Timer*) override {
    fired = true;
    throw plat::Exception("timer failed");
  }
  plat::Timer timer;
  bool fired = false;
};

struct RecordingFailures : TXWindow::FailureHandler {
  void handlerFailed(const char* message) override { messages.push_back(message); }
  std::vector<std::string> messages;
};

} // namespace

// A timer failing inside the modal loop is reported and the dialog runs on
// until it ends as usual.
TEST_P(DialogTest, FailingTimerInTheModalLoopIsReportedAndTheLoopGoesOn) {
  RecordingFailures failures;
  TXWindow::setFailureHandler(&failures);
  TestDialog dialog(x.dpy, true);
  ThrowingTimer thrower;
  TxModalScript script({[&] { return dialog.getImage() != nullptr; },
                        [&] {
                          thrower.timer.start(10);
                          return true;
                        },
                        [&] { return thrower.fired; },
                        [&] {
                          dialog.finish(true);
                          return true;
                        }});
  dialog.script = &script;
  EXPECT_TRUE(dialog.show());
  EXPECT_EQ(failures.messages, std::vector<std::string>{"timer failed"});
  EXPECT_EQ(dialog.finished, std::vector<bool>{true});
  TXWindow::setFailureHandler(nullptr);
}

INSTANTIATE_TEST_SUITE_P(WindowManager, DialogTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "openbox" : "bare";
                         });
