#include "ft/DownloadsDialog.h"

#include "FakeDownloadsUI.h"
#include "ManualClock.h"
#include "plat/TimerManager.h"

#include <gtest/gtest.h>

using ft::DownloadsDialog;
using ft::ShareDownloader;
using ft_test::FakeDownloadsUI;
using ft_test::FakeRow;
using testing_support::ManualClock;

namespace {

const ShareDownloader::Id idA(1, 7);
const ShareDownloader::Id idB(1, 8);

class DownloadsDialogTest : public ::testing::Test {
protected:
  DownloadsDialogTest() { dialog.reset(new DownloadsDialog(&sd, &ui)); }
  void start(ShareDownloader::Id id, std::set<std::string> names) {
    dialog->downloadStarted(id, names);
    dialog->setRootDir(id, "/tmp/dl/");
  }
  void tick() {
    clock.advanceMs(1000);
    timers.processTimers();
  }

  ManualClock clock;
  plat::TimerManager timers;
  ShareDownloader sd;
  FakeDownloadsUI ui;
  std::unique_ptr<DownloadsDialog> dialog;
};

TEST_F(DownloadsDialogTest, ASingleFileRunsAndCompletes) {
  start(idA, {"report.txt"});
  ASSERT_EQ(ui.rows.size(), 1u);
  FakeRow* row = ui.row(0);
  EXPECT_EQ(ui.calls, std::vector<std::string>({"show", "add"}));
  EXPECT_EQ(row->name, "report.txt");
  EXPECT_EQ(row->actionText(), "Pause|Cancel|Open containing folder");
  EXPECT_TRUE(row->progressShown);
  EXPECT_FALSE(row->multipleIcon);
  dialog->setTopLevelPath(idA, "/tmp/dl/report (1).txt");
  dialog->setTopLevelPath(idA, "/tmp/dl/other");
  EXPECT_EQ(row->icons, std::vector<std::string>({"/tmp/dl/report (1).txt"}));
  dialog->downloadComplete(idA);
  EXPECT_EQ(row->actionText(), "Open|Open containing folder|Remove from list");
  EXPECT_FALSE(row->progressShown);
  EXPECT_EQ(row->status, "Download complete");
  EXPECT_EQ(row->icons.size(), 2u);
  EXPECT_TRUE(ui.clearEnabled);
  EXPECT_EQ(ui.calls.back(), "notifyComplete");
  dialog->performAction(DownloadsDialog::Open, row);
  dialog->performAction(DownloadsDialog::OpenContainingFolder, row);
  EXPECT_EQ(ui.calls.back(), "open /tmp/dl/");
  EXPECT_EQ(ui.calls[ui.calls.size() - 2], "open /tmp/dl/report (1).txt");
}

TEST_F(DownloadsDialogTest, SeveralTopLevelItems) {
  start(idA, {"a", "b", "c"});
  FakeRow* row = ui.row(0);
  EXPECT_EQ(row->name, "a, b, c");
  EXPECT_TRUE(row->multipleIcon);
  dialog->setTopLevelPath(idA, "/tmp/dl/a");
  EXPECT_TRUE(row->icons.empty());
  dialog->downloadComplete(idA);
  EXPECT_EQ(row->actionText(), "Open containing folder|Remove from list");
}

// The title names the first few top-level names, in order, and counts the
// rest, however many a share holds.
TEST_F(DownloadsDialogTest, ATitleNamesFiveAndCountsTheRest) {
  auto names = [](int n) {
    std::set<std::string> s;
    for (int i = 0; i < n; i++)
      s.insert("n" + std::to_string(1000000 + i));
    return s;
  };
  struct Case {
    int names;
    const char* title;
  } cases[] = {
      {5, "n1000000, n1000001, n1000002, n1000003, n1000004"},
      {6, "n1000000, n1000001, n1000002, n1000003, n1000004, ... (1 more)"},
      {1000000, "n1000000, n1000001, n1000002, n1000003, n1000004, ... (999995 more)"},
  };
  std::uint32_t share = 1;
  for (const Case& c : cases) {
    start(ShareDownloader::Id(2, share++), names(c.names));
    EXPECT_EQ(ui.rows.back()->name, c.title) << c.names;
    EXPECT_TRUE(ui.rows.back()->multipleIcon);
  }
}

// A peer's names and failure texts reach the row on one line, as they read:
// no control character or mark of text direction is drawn as it stands.
TEST_F(DownloadsDialogTest, PeerNamesAndMessagesAreShownWithTheirControlsReplaced) {
  struct Case {
    std::set<std::string> names;
    const char* title;
    const char* message;
    const char* status;
  } cases[] = {
      {{"a\x1b]0;owned\x07.txt"}, "a?]0;owned?.txt", "open: a\r\nb", "open: a??b"},
      {{"x\ny", "z\tw"}, "x?y, z?w", "\x1b[2J", "?[2J"},
      {{"invoice\xE2\x80\xAEtxt.exe"}, "invoice?txt.exe", "\xC2\x9B" "1m", "?1m"},
      {{"r\xC3\xA9sum\xC3\xA9"}, "r\xC3\xA9sum\xC3\xA9", "Too many name clashes",
       "Too many name clashes"},
  };
  std::uint32_t share = 1;
  for (const Case& c : cases) {
    ShareDownloader::Id id(3, share++);
    start(id, c.names);
    FakeRow* row = ui.rows.back().get();
    EXPECT_EQ(row->name, c.title);
    dialog->downloadFailed(id, c.message, false);
    EXPECT_EQ(row->status, c.status);
  }
}

TEST_F(DownloadsDialogTest, ProgressWeighsEachFile) {
  start(idA, {"a", "b"});
  start(idB, {"c"});
  dialog->downloadProgress(idA, 500, 1000, 5, 10);
  EXPECT_EQ(ui.row(0)->progress, 32767);
  dialog->downloadProgress(idB, 0, 0, 0, 0);
  EXPECT_EQ(ui.row(1)->progress, 0);
  dialog->downloadProgress(idB, 10, 10, 1, 1);
  EXPECT_EQ(ui.row(1)->progress, 65535);
}

TEST_F(DownloadsDialogTest, OnlyTheNewestTextReachesTheRowAtTheTick) {
  start(idA, {"big"});
  FakeRow* row = ui.row(0);
  dialog->downloadProgress(idA, 0, 100 << 20, 0, 1);
  clock.advanceMs(500);
  timers.processTimers();
  // One reading: no remaining time yet, nothing pending.
  EXPECT_TRUE(row->statuses.empty());
  clock.advanceMs(500);
  dialog->downloadProgress(idA, 1 << 20, 100 << 20, 0, 1);
  clock.advanceMs(250);
  dialog->downloadProgress(idA, 2 << 20, 100 << 20, 0, 1);
  EXPECT_TRUE(row->statuses.empty());
  clock.advanceMs(250);
  timers.processTimers();
  ASSERT_EQ(row->statuses.size(), 1u);
  EXPECT_EQ(row->statuses[0], "1 MB/s, 2 minutes remaining.");
  EXPECT_FALSE(row->failed);
  // Nothing new: the row is not touched again.
  tick();
  EXPECT_EQ(row->statuses.size(), 1u);
}

TEST_F(DownloadsDialogTest, TheTimerStopsWhenNothingIsActive) {
  start(idA, {"a"});
  dialog->downloadComplete(idA);
  tick();
  EXPECT_EQ(timers.msUntilNext(), -1);
}

TEST_F(DownloadsDialogTest, AFailureBeforeThePathIsKnownUsesTheNames) {
  start(idA, {"x", "y"});
  start(idB, {"z"});
  dialog->downloadFailed(idA, "Too many name clashes", true);
  FakeRow* row = ui.row(0);
  EXPECT_EQ(row->icons, std::vector<std::string>({"x, y"}));
  EXPECT_EQ(row->actionText(), "Retry|Cancel|Remove from list|Open containing folder");
  EXPECT_EQ(row->status, "Too many name clashes");
  EXPECT_TRUE(row->failed);
  EXPECT_EQ(ui.calls.back(), "notifyFailed");
  dialog->downloadFailed(idB, "Connection closed", false);
  EXPECT_EQ(ui.row(1)->actionText(), "Remove from list|Open containing folder");
}

TEST_F(DownloadsDialogTest, ClearRemovesEndedRowsOnly) {
  ShareDownloader::Id complete(1, 1), failed(1, 2), cancelled(1, 3), paused(1, 4), running(1, 5),
      retryable(1, 6);
  for (auto id : {complete, failed, cancelled, paused, running, retryable})
    start(id, {"f" + std::to_string(id.second)});
  dialog->downloadComplete(complete);
  dialog->downloadFailed(failed, "gone", false);
  dialog->performAction(DownloadsDialog::Cancel, ui.row(2));
  EXPECT_EQ(ui.row(2)->status, "Download cancelled.");
  EXPECT_EQ(ui.row(2)->actionText(), "Remove from list|Open containing folder");
  dialog->performAction(DownloadsDialog::Pause, ui.row(3));
  EXPECT_EQ(ui.row(3)->status, "Download paused.");
  EXPECT_EQ(ui.row(3)->actionText(), "Resume|Cancel|Open containing folder");
  // A write failure pauses the download; its files are still there.
  dialog->downloadFailed(retryable, "No space left on device", true);
  EXPECT_TRUE(ui.clearEnabled);
  dialog->clearFinished();
  ASSERT_EQ(ui.rows.size(), 2u);
  EXPECT_EQ(ui.row(0)->name, "f4");
  EXPECT_EQ(ui.row(1)->name, "f5");
  EXPECT_FALSE(ui.clearEnabled);
}

TEST_F(DownloadsDialogTest, ReportsForARemovedRowAreIgnored) {
  start(idA, {"a"});
  dialog->downloadFailed(idA, "x", true);
  dialog->performAction(DownloadsDialog::RemoveFromList, ui.row(0));
  EXPECT_TRUE(ui.rows.empty());
  dialog->downloadProgress(idA, 1, 2, 0, 1);
  dialog->setTopLevelPath(idA, "/tmp/a");
  dialog->setRootDir(idA, "/tmp/");
  dialog->downloadFailed(idA, "y", false);
  dialog->downloadComplete(idA);
  EXPECT_EQ(dialog->size(), 0u);
  // Actions on a row that is gone do nothing.
  FakeRow stray;
  dialog->performAction(DownloadsDialog::Cancel, &stray);
}

TEST_F(DownloadsDialogTest, BadActionValues) {
  for (int v : {0, 8, -1}) {
    try {
      DownloadsDialog::actionName(v);
      FAIL() << v;
    } catch (plat::Exception& e) {
      EXPECT_EQ(std::string(e.str()), "Bad action value: " + std::to_string(v));
    }
  }
  start(idA, {"a"});
  EXPECT_THROW(dialog->performAction(static_cast<DownloadsDialog::Action>(9), ui.row(0)),
               plat::Exception);
  EXPECT_TRUE(DownloadsDialog::isButton(DownloadsDialog::Cancel));
  EXPECT_FALSE(DownloadsDialog::isButton(DownloadsDialog::RemoveFromList));
  EXPECT_FALSE(DownloadsDialog::isButton(DownloadsDialog::OpenContainingFolder));
}

TEST_F(DownloadsDialogTest, AResumeTheDownloaderRefusesLeavesTheRow) {
  start(idA, {"a"});
  dialog->performAction(DownloadsDialog::Pause, ui.row(0));
  dialog->performAction(DownloadsDialog::Resume, ui.row(0));
  EXPECT_EQ(ui.row(0)->status, "Download paused.");
}

TEST_F(DownloadsDialogTest, MessagesAndTheEnd) {
  dialog->showMessage("No folder");
  EXPECT_EQ(ui.calls, std::vector<std::string>({"show", "message No folder"}));
  start(idA, {"a"});
  start(idB, {"b"});
  EXPECT_EQ(sd.getCallback(), dialog.get());
  dialog.reset();
  EXPECT_TRUE(ui.rows.empty());
  EXPECT_EQ(sd.getCallback(), nullptr);
}

TEST(DownloadsDialogTexts, Texts) {
  EXPECT_EQ(std::string(DownloadsDialog::failedNotification()), "^1{File transfer failed.^}");
  EXPECT_EQ(std::string(DownloadsDialog::completeNotification()),
            "^bFile transfer complete.^n\n^1{All files have been transferred.^}");
  EXPECT_EQ(std::string(DownloadsDialog::emptyListText()).substr(0, 52),
            "There are no active or recent downloads to display.\n");
}

} // namespace
