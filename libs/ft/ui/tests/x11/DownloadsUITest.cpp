// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "ft/ui/DownloadsUI.h"

#include "ft/ShareDownloader.h"
#include "rfb/KeysymNames.h"

#include "GtkLibraries.h"
#include "ManualClock.h"
#include "OpenerStubs.h"
#include "TempDir.h"
#include "TxModalScript.h"
#include "TxTestDisplay.h"

#include <memory>
#include <string>
#include <vector>

using ft::DownloadsDialog;
using ft::DownloadsUI;
using ft::ShareDownloader;
using testing_support::TxTestDisplay;

namespace {

// The opener programs of the whole test process: the list of openers is
// looked up once a run, so the stubs stand in one folder, in front of the
// search path, from the first test on; each test sets their exit status.
ft_test::OpenerStubs& stubs() {
  static testing_support::TempDir dir;
  static ft_test::OpenerStubs s = [] {
    ft_test::OpenerStubs st(dir.path());
    st.add("xdg-open");
    st.add("gnome-open");
    std::string path = dir.path() + ":" + getenv("PATH");
    setenv("PATH", path.c_str(), 1);
    return st;
  }();
  return s;
}

// The file-transfer dialog as the downloads window sees it: a dialog with
// the window in a scrolling viewport, recording what it is told.
class TestDialog : public TXDialog, public DownloadsUI::Container {
public:
  TestDialog(Display* dpy, ShareDownloader* sd, int width, int height)
      : TXDialog(dpy, width, height, "File Transfer", false, false) {
    content()->addChildSized(&viewport, rfb::Rect(0, 0, width, height));
    ui = std::make_unique<DownloadsUI>(sd, this, &viewport);
    viewport.setViewportChild(ui.get());
    viewport.setChild(ui.get());
  }
  ~TestDialog() override { ui.reset(); }

  TXDialog* dialog() override { return this; }
  void setClearEnabled(bool enabled) override { clearEnabled = enabled; }
  void notifyComplete() override { completes++; }
  void notifyFailed() override { failures++; }
  void showError(const char* text) override { errors.push_back(text); }
  void dialogFinished(TXDialog* dialog, bool) override {
    if (dialog == ui->getMessageBox()) {
      setInputDisabled(false);
      boxesClosed++;
    }
  }

  wvw::WViewport viewport;
  std::unique_ptr<DownloadsUI> ui;
  bool clearEnabled = false;
  int completes = 0;
  int failures = 0;
  int boxesClosed = 0;
  std::vector<std::string> errors;
};

const ShareDownloader::Id idA(1, 1), idB(1, 2), idC(1, 3), idD(1, 4), idE(2, 1);

class DownloadsUITest : public ::testing::Test {
protected:
  void SetUp() override {
    testing_support::testAppInit();
    stubs();
    for (const char* name : {"xdg-open", "gnome-open"})
      stubs().setStatus(name, 0);
    unlink(stubs().log().c_str());
    dialog = std::make_unique<TestDialog>(x.dpy, &sd, 480, 320);
    ui = dialog->ui.get();
  }
  void TearDown() override { dialog.reset(); }

  ShareDownloader::SDCallback* model() { return sd.getCallback(); }
  // A download of the names into "/tmp/dl/" (the path of a single item
  // known).
  void start(ShareDownloader::Id id, std::set<std::string> names) {
    model()->downloadStarted(id, names);
    model()->setRootDir(id, (dir.path() + "/").c_str());
    if (names.size() == 1)
      model()->setTopLevelPath(id, dir.file(*names.begin()).c_str());
  }
  DownloadsUI::Item* row(size_t i) {
    auto it = ui->getRows().begin();
    std::advance(it, i);
    return *it;
  }
  std::vector<bool> selection() {
    std::vector<bool> s;
    for (DownloadsUI::Item* r : ui->getRows())
      s.push_back(r->selected);
    return s;
  }
  // The pointer at a point of a row, with the buttons held (bit 0 left, bit
  // 2 right), as the widget host hands it on.
  void pointer(DownloadsUI::Item* r, const rfb::Point& p, int buttons) {
    ui->pointerEvent(rfb::Point(p.x, p.y + r->top - ui->getScrollOffset()), buttons);
  }
  void click(DownloadsUI::Item* r, const rfb::Point& p, int button = 0) {
    pointer(r, p, 0);
    pointer(r, p, 1 << button);
    pointer(r, p, 0);
  }
  rfb::Point centre(const rfb::Rect& r) {
    return rfb::Point((r.tl.x + r.br.x) / 2, (r.tl.y + r.br.y) / 2);
  }
  bool shown() {
    dialog->show();
    return x.pumpUntil([&] { return dialog->getImage() != nullptr; });
  }
  // Waits until the opener programs are done.
  bool openersDone() {
    return x.pumpUntil([&] { return ui->getOpener()->pending() == 0; });
  }

  TxTestDisplay x{"800x600x24"};
  testing_support::TempDir dir;
  ShareDownloader sd;
  std::unique_ptr<TestDialog> dialog;
  DownloadsUI* ui = nullptr;
};

TEST_F(DownloadsUITest, ANewDownloadGoesOnTopSelectedAndTheLastRemovalShowsTheEmptyText) {
  EXPECT_TRUE(ui->getEmptyLabel()->isVisible());
  EXPECT_FALSE(ui->acceptsFocus());
  start(idA, {"first.txt"});
  EXPECT_FALSE(ui->getEmptyLabel()->isVisible());
  EXPECT_TRUE(ui->acceptsFocus());
  start(idB, {"second.txt"});
  ASSERT_EQ(ui->getRows().size(), 2u);
  EXPECT_EQ(row(0)->name, "second.txt");
  EXPECT_EQ(selection(), (std::vector<bool>{true, false}));
  // Rows with their progress bars shown are 76 high, stacked from the top.
  EXPECT_EQ(row(0)->top, 0);
  EXPECT_EQ(row(1)->top, 76);
  EXPECT_EQ(dialog->viewport.getContentSize(), rfb::Point(ui->width(), 152));

  model()->downloadComplete(idA);
  EXPECT_FALSE(row(1)->progressShown);
  EXPECT_EQ(row(1)->status, "Download complete");
  EXPECT_TRUE(dialog->clearEnabled);
  model()->downloadFailed(idB, "Connection closed", false);
  EXPECT_EQ(dialog->failures, 1);
  EXPECT_TRUE(row(0)->failed);
  EXPECT_EQ(dialog->viewport.getContentSize(), rfb::Point(ui->width(), 128));

  ui->clearFinished();
  EXPECT_TRUE(ui->getRows().empty());
  EXPECT_TRUE(ui->getEmptyLabel()->isVisible());
  EXPECT_FALSE(dialog->clearEnabled);
  EXPECT_EQ(dialog->viewport.getContentSize(), rfb::Point(0, 0));
}

TEST_F(DownloadsUITest, AnEmptyListShowsItsTextOverTheWholeWindow) {
  ASSERT_TRUE(shown());
  EXPECT_EQ(ui->getChildRect(ui->getEmptyLabel()), rfb::Rect(0, 0, ui->width(), ui->height()));
  EXPECT_EQ(ui->width(), 480);
  EXPECT_FALSE(dialog->viewport.isVBarShown());
  x.pumpFor(100);
  testing_support::screenshot(x, dialog->win(), "downloads-empty");
}

TEST_F(DownloadsUITest, TheButtonStripDecidesHowFarTheBarAndTextsReach) {
  start(idA, {"a.bin"});
  DownloadsUI::Item* r = row(0);
  int W = ui->width();
  struct Case {
    std::vector<DownloadsDialog::Action> actions;
    int strip;
  } cases[] = {
      {{}, 0},
      {{DownloadsDialog::RemoveFromList, DownloadsDialog::OpenContainingFolder}, 0},
      {{DownloadsDialog::Resume, DownloadsDialog::Cancel, DownloadsDialog::OpenContainingFolder},
       43},
      {{DownloadsDialog::Retry, DownloadsDialog::Cancel, DownloadsDialog::RemoveFromList}, 43},
      {{DownloadsDialog::Pause}, 20},
  };
  for (const Case& c : cases) {
    r->setActions(c.actions);
    EXPECT_EQ(r->stripLeft(W), W - 6 - c.strip);
    EXPECT_EQ(r->progressRect(W), rfb::Rect(64, 27, W - 12 - c.strip, 39));
    EXPECT_EQ(r->titleRect(W), rfb::Rect(64, 6, W - 12 - c.strip, 24));
  }
  EXPECT_EQ(r->statusRect(W).tl.y, 42);
  EXPECT_EQ(r->iconBox(), rfb::Rect(3, 12, 55, 64));
  r->hideProgress();
  EXPECT_EQ(r->statusRect(W).tl.y, 27);
  EXPECT_EQ(r->iconBox(), rfb::Rect(3, 6, 55, 58));
  EXPECT_EQ(r->badgeBox(), rfb::Rect(3, 41, 20, 58));
}

TEST_F(DownloadsUITest, AButtonActsOnlyWhenPressedAndReleasedOnIt) {
  start(idA, {"movie.mkv"});
  DownloadsUI::Item* r = row(0);
  int W = ui->width();
  // Running: Pause and Cancel as buttons.
  rfb::Point pause = centre(r->buttonRect(W, 0));
  rfb::Point cancel = centre(r->buttonRect(W, 1));
  pointer(r, pause, 0);
  EXPECT_EQ(r->hoveredButton, 0);
  pointer(r, pause, 1);
  pointer(r, cancel, 1);
  EXPECT_EQ(r->hoveredButton, 1);
  pointer(r, cancel, 0);
  EXPECT_EQ(r->status, "");
  EXPECT_TRUE(r->progressShown);

  click(r, pause);
  EXPECT_EQ(r->status, "Download paused.");
  EXPECT_FALSE(r->progressShown);
  // The strip changed under the pointer: Resume is under it now.
  EXPECT_EQ(r->buttonActions(), (std::vector<DownloadsDialog::Action>{DownloadsDialog::Resume,
                                                                      DownloadsDialog::Cancel}));
  EXPECT_EQ(r->hoveredButton, 0);
  EXPECT_EQ(ui->getHoveredRow(), r);
  click(r, centre(r->buttonRect(W, 1)));
  EXPECT_EQ(r->status, "Download cancelled.");
  EXPECT_TRUE(r->buttonActions().empty());
  EXPECT_EQ(r->hoveredButton, -1);

  // A row that the pointer leaves has no button under it.
  start(idB, {"other.mkv"});
  DownloadsUI::Item* newer = row(0);
  ASSERT_NE(newer, r);
  // (Where the last click was, the widget sees no motion: one pixel off.)
  pointer(newer, centre(newer->buttonRect(W, 1)).translate(rfb::Point(1, 0)), 0);
  EXPECT_EQ(newer->hoveredButton, 1);
  pointer(r, rfb::Point(100, 10), 0);
  EXPECT_EQ(newer->hoveredButton, -1);
  EXPECT_EQ(ui->getHoveredRow(), r);
}

TEST_F(DownloadsUITest, TwoClicksWithinHalfASecondOpenTheDownload) {
  testing_support::ManualClock clock;
  start(idA, {"report.txt"});
  start(idB, {"x", "y"});
  model()->downloadComplete(idA);
  model()->downloadComplete(idB);
  DownloadsUI::Item* single = row(1);
  DownloadsUI::Item* several = row(0);
  rfb::Point text(100, 10);

  // Too slow: no open.
  click(single, text);
  clock.advanceMs(600);
  x.timers.processTimers();
  click(single, text);
  EXPECT_EQ(ui->getOpener()->pending(), 0u);
  clock.advanceMs(600);
  x.timers.processTimers();

  // A finished share of several items offers no Open.
  click(several, text);
  click(several, text);
  EXPECT_EQ(ui->getOpener()->pending(), 0u);
  clock.advanceMs(600);
  x.timers.processTimers();

  click(single, text);
  clock.advanceMs(400);
  click(single, text);
  EXPECT_EQ(ui->getOpener()->pending(), 1u);
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (ui->getOpener()->pending() && std::chrono::steady_clock::now() < end) {
    clock.advanceMs(100);
    x.timers.processTimers();
    usleep(5000);
  }
  EXPECT_EQ(stubs().logText().find("xdg-open"), 0u);
  EXPECT_NE(stubs().logText().find(" " + dir.file("report.txt") + "\n"), std::string::npos)
      << stubs().logText();
}

TEST_F(DownloadsUITest, KeysMoveTheSelectionOpenAndRemove) {
  start(idA, {"a.txt"});
  start(idB, {"b.txt"});
  start(idC, {"c.txt"});
  for (DownloadsUI::Item* r : ui->getRows())
    ui->select(r, false);
  ui->onKey(rfb::keys::Up, true, ui); // the last row
  EXPECT_EQ(selection(), (std::vector<bool>{false, false, true}));
  ui->onKey(rfb::keys::Up, true, ui);
  EXPECT_EQ(selection(), (std::vector<bool>{false, true, false}));
  ui->onKey(rfb::keys::Up, false, ui); // releases do nothing
  ui->onKey(rfb::keys::Up, true, ui);
  ui->onKey(rfb::keys::Up, true, ui); // at the first row it stays
  EXPECT_EQ(selection(), (std::vector<bool>{true, false, false}));
  ui->select(row(0), false);
  ui->onKey(rfb::keys::Down, true, ui); // the first row
  EXPECT_EQ(selection(), (std::vector<bool>{true, false, false}));
  ui->onKey(rfb::keys::Down, true, ui);
  ui->onKey(rfb::keys::Down, true, ui);
  ui->onKey(rfb::keys::Down, true, ui);
  EXPECT_EQ(selection(), (std::vector<bool>{false, false, true}));

  // Return opens only a finished single item; Delete removes only ended ones.
  ui->onKey(rfb::keys::Return, true, ui);
  ui->onKey(rfb::keys::Delete, true, ui);
  EXPECT_EQ(ui->getOpener()->pending(), 0u);
  EXPECT_EQ(ui->getRows().size(), 3u);
  model()->downloadComplete(idA);
  ui->onKey(rfb::keys::Return, true, ui);
  ASSERT_TRUE(openersDone());
  EXPECT_NE(stubs().logText().find(dir.file("a.txt")), std::string::npos);
  ui->onKey(rfb::keys::Delete, true, ui);
  EXPECT_EQ(ui->getRows().size(), 2u);
  EXPECT_EQ(row(1)->name, "b.txt");
}

TEST_F(DownloadsUITest, TheContextMenuOffersTheRowsActionsInOrder) {
  ASSERT_TRUE(shown());
  start(idA, {"a.txt"});
  model()->downloadComplete(idA);
  DownloadsUI::Item* r = row(0);
  pointer(r, rfb::Point(200, 30), 0);
  pointer(r, rfb::Point(200, 30), 4);
  pointer(r, rfb::Point(200, 30), 0);
  ASSERT_TRUE(ui->getMenu()->isVisible());
  std::vector<std::string> labels;
  for (wvw::WMenuItem* item : ui->getMenu()->getItems())
    labels.push_back(item->getLabel()->getText());
  EXPECT_EQ(labels,
            (std::vector<std::string>{"Open", "Open containing folder", "Remove from list"}));
  wvw::WMenuItem* remove = ui->getMenu()->getItems()[2];
  EXPECT_EQ(ui->getMenuActions().at(remove), DownloadsDialog::RemoveFromList);
  ui->onClick(remove);
  EXPECT_FALSE(ui->getMenu()->isVisible());
  EXPECT_TRUE(ui->getRows().empty());
  EXPECT_TRUE(ui->getEmptyLabel()->isVisible());
}

TEST_F(DownloadsUITest, TheContextMenuKeepsItsOwnUpAndDownKeys) {
  ASSERT_TRUE(shown());
  start(idA, {"a.txt"});
  start(idB, {"b.txt"});
  start(idC, {"c.txt"});
  model()->downloadComplete(idB);
  DownloadsUI::Item* middle = row(1);
  // A real right click on the middle row opens its menu, and real keys
  // follow.
  int px = 0, py = 0;
  XSync(x.dpy, False);
  dialog->positionOnRoot(&px, &py);
  rfb::Point p = ui->mapPointTo(rfb::Point(150, middle->top + 10), dialog->content());
  x.run({"xdotool", "mousemove", std::to_string(px + p.x), std::to_string(py + p.y), "click", "3"});
  ASSERT_TRUE(x.pumpUntil([&] { return ui->getMenu()->isVisible(); }));
  ASSERT_EQ(selection(), (std::vector<bool>{false, true, false}));
  const std::vector<wvw::WMenuItem*>& items = ui->getMenu()->getItems();
  ASSERT_EQ(items.size(), 3u);
  ASSERT_TRUE(items[0]->hasFocus());

  x.run({"xdotool", "key", "Down", "Down"});
  EXPECT_TRUE(x.pumpUntil([&] { return items[2]->hasFocus(); }));
  x.run({"xdotool", "key", "Up"});
  EXPECT_TRUE(x.pumpUntil([&] { return items[1]->hasFocus(); }));
  // The rows' selection stays where the menu was opened.
  EXPECT_EQ(selection(), (std::vector<bool>{false, true, false}));
  EXPECT_TRUE(ui->getMenu()->isVisible());
  // Return chooses the item in focus, for the row of the menu.
  x.run({"xdotool", "key", "Return"});
  EXPECT_TRUE(x.pumpUntil([&] { return !ui->getMenu()->isVisible(); }));
  ASSERT_TRUE(openersDone());
  EXPECT_NE(stubs().logText().find(" " + dir.path() + "/\n"), std::string::npos)
      << stubs().logText();
}

TEST_F(DownloadsUITest, TheWindowGoingAwayWithRowsLaysNoRowsOut) {
  start(idA, {"a.txt"});
  start(idB, {"b.txt"});
  rfb::Point laidOut = dialog->viewport.getContentSize();
  ASSERT_EQ(laidOut, rfb::Point(ui->width(), 152));
  dialog->ui.reset();
  ui = nullptr;
  EXPECT_EQ(dialog->viewport.getContentSize(), laidOut);

  // A window whose scrolling view has gone first (a dialog taken down from
  // the outside in) lets its rows go without touching it.
  ShareDownloader other;
  auto viewport = std::make_unique<wvw::WViewport>();
  auto window = std::make_unique<DownloadsUI>(&other, dialog.get(), viewport.get());
  viewport->setViewportChild(window.get());
  viewport->setChild(window.get());
  for (ShareDownloader::Id id : {idA, idB}) {
    other.getCallback()->downloadStarted(id, {"a.txt"});
    other.getCallback()->setRootDir(id, (dir.path() + "/").c_str());
  }
  ASSERT_EQ(window->getRows().size(), 2u);
  viewport.reset();
  window.reset();
  EXPECT_EQ(other.getCallback(), nullptr);
}

// A message of the downloader (a share refused, no download folder) brings
// the window up and goes to the dialog's error box.
TEST_F(DownloadsUITest, AMessageShowsTheWindowAndGoesToTheErrorBox) {
  model()->showMessage("The files offered could not be received.");
  EXPECT_TRUE(x.pumpUntil([&] { return dialog->isMapped(); }));
  EXPECT_EQ(dialog->errors, std::vector<std::string>({"The files offered could not be received."}));
}

TEST_F(DownloadsUITest, WhenNoOpenerSucceedsTheLocationIsShown) {
  ASSERT_TRUE(shown());
  stubs().setStatus("xdg-open", 3);
  stubs().setStatus("gnome-open", 4);
  start(idA, {"a", "b"});
  model()->downloadComplete(idA);
  ui->getDownloadsDialog()->performAction(DownloadsDialog::OpenContainingFolder, row(0));
  ASSERT_TRUE(openersDone());
  TXMsgBox* box = ui->getMessageBox();
  ASSERT_TRUE(x.pumpUntil([&] { return box->isMapped() && box->getImage() != nullptr; }));
  EXPECT_EQ(std::string(box->label()->getText()),
            "File download location is:\n" + dir.path() + "/");
  EXPECT_NE(box->icon(), nullptr);
  EXPECT_EQ(box->transientFor(), dialog.get());
  x.pumpFor(50);
  testing_support::screenshot(x, box->win(), "downloads-location");
  box->onClick(box->button(0));
  EXPECT_EQ(dialog->boxesClosed, 1);
  EXPECT_FALSE(box->isMapped());
  std::string log = stubs().logText();
  EXPECT_NE(log.find("xdg-open"), std::string::npos);
  EXPECT_NE(log.find("gnome-open"), std::string::npos);
}

// The location shown ends in the viewer's name: its line breaks and marks of
// text direction are not drawn as they stand, while the opener was given the
// file's real path.
TEST_F(DownloadsUITest, TheLocationShownQuotesTheViewersNameOnOneLine) {
  ASSERT_TRUE(shown());
  stubs().setStatus("xdg-open", 3);
  stubs().setStatus("gnome-open", 4);
  std::string name = "a.txt\n\nMalware found: run the cleaner\xE2\x80\xAE";
  start(idA, {name});
  model()->setTopLevelPath(idA, (dir.path() + "/" + name).c_str());
  model()->downloadComplete(idA);
  ui->getDownloadsDialog()->performAction(DownloadsDialog::Open, row(0));
  ASSERT_TRUE(openersDone());
  TXMsgBox* box = ui->getMessageBox();
  ASSERT_TRUE(x.pumpUntil([&] { return box->isMapped(); }));
  EXPECT_EQ(std::string(box->label()->getText()),
            "File download location is:\n" + dir.path() + "/a.txt??Malware found: run the cleaner?");
  EXPECT_EQ(row(0)->name, "a.txt??Malware found: run the cleaner?");
  EXPECT_NE(stubs().logText().find(name), std::string::npos);
  box->onClick(box->button(0));
}

TEST_F(DownloadsUITest, RowsWithIconsProgressAndButtonsOnScreen) {
  ASSERT_TRUE(shown());
  // A finished folder, a running file, a paused one, a failed share of
  // several items and a file just started.
  std::string folder = dir.file("Holiday photos");
  mkdir(folder.c_str(), 0755);
  start(idA, {"Holiday photos"});
  model()->downloadComplete(idA);
  start(idB, {"quarterly report.pdf"});
  model()->downloadProgress(idB, 3 << 20, 10 << 20, 0, 1);
  start(idC, {"song.ogg"});
  model()->downloadProgress(idC, 1 << 20, 4 << 20, 0, 1);
  ui->getDownloadsDialog()->performAction(DownloadsDialog::Pause, row(0));
  start(idD, {"notes.txt", "slides.odp"});
  model()->downloadFailed(idD, "The connection was closed.", true);
  start(idE, {"setup.sh"});
  EXPECT_TRUE(dialog->viewport.isVBarShown());
  // Hovering over the paused row's Resume button lights it up.
  DownloadsUI::Item* paused = row(2);
  pointer(paused, centre(paused->buttonRect(ui->width(), 0)), 0);
  EXPECT_EQ(paused->hoveredButton, 0);
  x.pumpFor(100);
  std::string path = testing_support::screenshot(x, dialog->win(), "downloads-window");
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0);

  // The selection is scrolled into view: the last row, at the bottom.
  ui->select(row(0), false);
  ui->select(row(4), true);
  int view = dialog->viewport.getViewSize().y;
  EXPECT_EQ(ui->getScrollOffset(), row(4)->top + row(4)->height() - view);
  x.pumpFor(100);
  testing_support::screenshot(x, dialog->win(), "downloads-window-scrolled");
  ui->select(row(4), false);
  ui->select(row(0), true);
  EXPECT_EQ(ui->getScrollOffset(), 0);
}

TEST_F(DownloadsUITest, RealClicksReachTheRows) {
  ASSERT_TRUE(shown());
  start(idA, {"a.txt"});
  start(idB, {"b.txt"});
  DownloadsUI::Item* lower = row(1);
  int px = 0, py = 0;
  XSync(x.dpy, False);
  dialog->positionOnRoot(&px, &py);
  rfb::Point p = ui->mapPointTo(rfb::Point(150, lower->top + 10), dialog->content());
  rfb::Point pause = centre(lower->buttonRect(ui->width(), 0));
  rfb::Point b = ui->mapPointTo(rfb::Point(pause.x, lower->top + pause.y), dialog->content());
  x.run({"xdotool", "mousemove", std::to_string(px + p.x), std::to_string(py + p.y), "click", "1"});
  ASSERT_TRUE(x.pumpUntil([&] { return lower->selected; }));
  EXPECT_FALSE(row(0)->selected);
  x.run({"xdotool", "mousemove", std::to_string(px + b.x), std::to_string(py + b.y), "click", "1"});
  ASSERT_TRUE(x.pumpUntil([&] { return lower->status == "Download paused."; }));
}

} // namespace
