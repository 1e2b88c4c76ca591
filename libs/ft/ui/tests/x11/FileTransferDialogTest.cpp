// The file-transfer dialog on a private Xvfb: the fetch-folder choice and
// its saving into the configuration file, the folder requests of pushed
// shares from viewers on framed test connections, errors in the message box,
// and, against the stand-in server on the program's loopback stream, files
// sent to the viewer as a pushed share and a pushed share fetched into the
// downloads window.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "wvw/FontProp.h"

#include "ft/ui/FileTransferDialog.h"

#include "ft/ShareProxy.h"
#include "ft/proxy/Extension.h"
#include "ft/unix/UnixFileTransferManager.h"
#include "zavconfig/XServerConnectionFT.h"
#include "zavconfig/zavext.h"

#include "FileContents.h"
#include "FramedConnection.h"
#include "FullListing.h"
#include "RecordingExtension.h"
#include "TempDir.h"
#include "TxModalScript.h"
#include "TxTestDisplay.h"
#include "zavconfig/tests/x11/XzavTestServer.h"

#include "net/SelectSocketManager.h"
#include "net/io/FdSelectManager.h"
#include "plat/ConfigurationFile.h"
#include "plat/StringParameter.h"
#include "plat/unix/Passwd.h"

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

using ft::ActiveShareAutoDownloader;
using ft::FileTransferDialog;
using ft_test::Bytes;
using testing_support::frame;
using testing_support::FramedConnection;
using testing_support::FramedPump;
using testing_support::TempDir;
using testing_support::TxTestDisplay;

namespace {

std::string home() {
  os::Passwd user(getuid());
  return user.getHomeDir();
}

// "FetchDir" as the test sets it (priority 60, below the dialog's 50, as
// from a configuration file) and as the dialog sets it; both are taken back
// at the end.
const int testPriority = 60;
void setFetchDir(const std::string& value) {
  ActiveShareAutoDownloader::fetchDir.unsetParam(50);
  ActiveShareAutoDownloader::fetchDir.setParam(value.c_str(), testPriority);
}
std::string fetchDir() {
  return ActiveShareAutoDownloader::fetchDir.c_str();
}

// The configuration file's entry of "FetchDir"; "(none)" without one.
std::string savedFetchDir(const std::string& path) {
  plat::ConfigurationFile::Map map;
  plat::ConfigurationFile::readMap(path.c_str(), map);
  auto i = map.find("FetchDir");
  return i == map.end() || !i->second ? "(none)" : *i->second;
}

// One viewer on a framed connection of the test's extension.
struct Viewer {
  FramedConnection conn;
  FramedPump in;
};

class FileTransferDialogTest : public ::testing::Test {
protected:
  FileTransferDialogTest() : manager(&ext) {
    testing_support::testAppInit();
    for (Viewer& v : viewers)
      ext.extensionEnabled(&v.conn, "FileTransfer");
  }
  ~FileTransferDialogTest() override {
    dialog.reset();
    autoDownloader.reset();
    for (Viewer& v : viewers)
      if (ext.hasConnection(ft::Extension::idOf(&v.conn)))
        ext.closeConnection(&v.conn);
    ActiveShareAutoDownloader::fetchDir.unsetParam(50);
    ActiveShareAutoDownloader::fetchDir.unsetParam(testPriority);
  }
  // The dialog, made after "FetchDir" was set for the test.
  void make() {
    dialog.reset();
    autoDownloader.reset(new ActiveShareAutoDownloader(&ext, nullptr));
    dialog.reset(new FileTransferDialog(x.dpy, autoDownloader.get(), manager.getUploadManager()));
  }
  void send(Viewer& v, const Bytes& body) {
    v.in.in.feed(frame(body.b));
    v.in.run(&ext, &v.conn);
  }
  // Viewer v pushes share id holding one four-byte file.
  void push(Viewer& v, std::uint32_t id, const std::string& name) {
    send(v, Bytes().u32(1).u32(id).u8(0).u32(1));
    send(v, Bytes().u32(3).u32(id).u32(1).entry(name, 0, 4));
    send(v, Bytes().u32(3).u32(id).u32(0));
  }
  void deliver(Viewer& v, std::uint32_t id) {
    send(v, Bytes().u32(6).u32(id).u32(0).u16(4).raw("data"));
    send(v, Bytes().u32(6).u32(id).u32(0).u16(0));
  }
  wvw::WChoice* choice() { return dialog->getFetchChoice(); }
  std::string label(int32_t id) {
    wvw::WMenuItem* item = choice()->getItem(id);
    return item ? item->getLabel()->getText() : "(absent)";
  }
  // The folder dialog ends with OK on the folder typed into its field.
  void chooseFolder(const std::string& path) {
    ui::WFileDialog* fd = dialog->getFolderDialog();
    fd->pathField()->setText(path.c_str());
    fd->accept();
  }
  bool boxShown() {
    return x.pumpUntil([&] { return dialog->getMessageBox()->isMapped(); });
  }

  TxTestDisplay x{"800x600x24"};
  TempDir dir;
  ft::proxy::Extension ext;
  ft::UnixFileTransferManager manager;
  Viewer viewers[2];
  std::unique_ptr<ActiveShareAutoDownloader> autoDownloader;
  std::unique_ptr<FileTransferDialog> dialog;
};

TEST(FileTransferDialogFolders, AreShownRelativeToTheHomeFolderOnlyInsideIt) {
  struct Case {
    const char* folder;
    const char* shown;
  } cases[] = {
      {"/home/u/Downloads", "Downloads"},
      {"/home/u/a/b", "a/b"},
      {"/home/u", "/home/u"},
      {"/home/u/", "/home/u/"},
      {"/home/user2", "/home/user2"},
      {"/srv/files", "/srv/files"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FileTransferDialog::displayFolder(c.folder, "/home/u"), c.shown) << c.folder;
  EXPECT_EQ(FileTransferDialog::displayFolder("/x/y", ""), "/x/y");
}

// A folder label too wide for the field keeps its end behind "...", cut at a
// character boundary, and fits; one that fits stays whole.
TEST(FileTransferDialogFolders, LongLabelsAreCutInFrontWithASign) {
  wvw::Font* font = &wvw::FontProp::helv15_u;
  const std::string longPath = "/srv/exports/projects/2026/reports/quarterly/final";
  struct Case {
    std::string label;
    int width;
  } cases[] = {
      {"Downloads", 200},
      {longPath, 200},
      {longPath, font->textWidth(longPath.c_str())},
      {longPath, font->textWidth(longPath.c_str()) - 1},
      {"/srv/caf\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9/d", 60},
      {longPath, 5},
  };
  for (const Case& c : cases) {
    std::string shown = FileTransferDialog::fittedLabel(c.label, font, c.width);
    SCOPED_TRACE(c.label + " in " + std::to_string(c.width) + ": " + shown);
    if (font->textWidth(c.label.c_str()) <= c.width) {
      EXPECT_EQ(shown, c.label);
      continue;
    }
    ASSERT_EQ(shown.rfind("...", 0), 0u);
    std::string tail = shown.substr(3);
    EXPECT_EQ(c.label.substr(c.label.size() - tail.size()), tail);
    EXPECT_TRUE(tail.empty() || (static_cast<unsigned char>(tail[0]) & 0xc0) != 0x80);
    if (!tail.empty()) {
      EXPECT_LE(font->textWidth(shown.c_str()), c.width);
    }
  }
}

TEST_F(FileTransferDialogTest, TheFetchChoiceHoldsTheFolderInForceAndTheDefault) {
  std::string desktop = FileTransferDialog::displayFolder(home() + "/Desktop", home());
  struct Case {
    std::string fetchDir;
    std::vector<std::string> labels; // ids 0 to 3
    int32_t selected;
  } cases[] = {
      {"?", {"Ask every time", "(absent)", desktop, "Other..."}, 0},
      {"", {"Ask every time", desktop, "(absent)", "Other..."}, 1},
      {home() + "/Downloads", {"Ask every time", "Downloads", desktop, "Other..."}, 1},
      {"/srv/files", {"Ask every time", "/srv/files", desktop, "Other..."}, 1},
      {home() + "/Desktop", {"Ask every time", desktop, "(absent)", "Other..."}, 1},
  };
  for (const Case& c : cases) {
    setFetchDir(c.fetchDir);
    make();
    std::vector<std::string> labels;
    for (int32_t id = 0; id <= 3; id++)
      labels.push_back(label(id));
    EXPECT_EQ(labels, c.labels) << c.fetchDir;
    EXPECT_EQ(choice()->getSelectedId(), c.selected) << c.fetchDir;
  }
}

TEST_F(FileTransferDialogTest, TheBottomRowAndTheViewportFollowTheWindowSize) {
  make();
  EXPECT_FALSE(dialog->getClearButton()->isEnabled());
  EXPECT_TRUE(dialog->getSendButton()->isEnabled());
  dialog->setSendEnabled(false);
  EXPECT_FALSE(dialog->getSendButton()->isEnabled());
  char* title = nullptr;
  ASSERT_TRUE(XFetchName(x.dpy, dialog->win(), &title));
  EXPECT_STREQ(title, "File Transfer - Zav Server");
  XFree(title);
  XSizeHints hints = {};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(x.dpy, dialog->win(), &hints, &supplied));
  EXPECT_TRUE(hints.flags & PMinSize);
  EXPECT_EQ(hints.min_width, 400);
  EXPECT_EQ(hints.min_height, 150);
  // The buttons keep space round their labels.
  for (wvw::WLabelButton* b : {dialog->getSendButton(), dialog->getClearButton()}) {
    int w = 0, h = 0;
    b->getLabel()->getPreferredSize(&w, &h);
    EXPECT_GE(b->width(), w + 16) << b->getLabel()->getText();
    EXPECT_GE(b->height(), h + 4) << b->getLabel()->getText();
  }
  wvw::WCanvas* c = dialog->content();
  for (rfb::Point size : {rfb::Point(480, 330), rfb::Point(640, 200)}) {
    dialog->setContentSize(size.x, size.y);
    const int W = size.x, H = size.y;
    wvw::Widget* send = dialog->getSendButton();
    wvw::Widget* clear = dialog->getClearButton();
    wvw::Widget* label = dialog->getFetchLabel();
    int top = H - 3 - clear->height();
    EXPECT_EQ(c->getChildPosition(send), rfb::Point(3, top));
    EXPECT_EQ(c->getChildPosition(clear), rfb::Point(3 + send->width() + 3, top));
    rfb::Rect labelRect = c->getChildRect(label);
    EXPECT_EQ(labelRect.tl, rfb::Point(c->getChildRect(clear).br.x + 9, top));
    EXPECT_EQ(c->getChildRect(choice()), rfb::Rect(labelRect.br.x + 3, top, W - 3, H - 3));
    EXPECT_EQ(c->getChildRect(dialog->getViewport()), rfb::Rect(3, 3, W - 3, top - 3));
  }
}

// A fetch folder longer than its field shows its end behind "...", and a
// wider window shows more of it.
TEST_F(FileTransferDialogTest, ALongFetchFolderShowsItsEndBehindASign) {
  std::string longPath = "/srv/" + std::string(60, 'x') + "/the-end";
  setFetchDir(longPath);
  make();
  dialog->setContentSize(480, 330);
  std::string narrow = label(1);
  EXPECT_EQ(narrow.rfind("...", 0), 0u) << narrow;
  EXPECT_EQ(narrow.substr(narrow.size() - 8), "/the-end");
  EXPECT_EQ(choice()->getSelectedId(), 1);
  dialog->setContentSize(1100, 330);
  EXPECT_EQ(label(1), longPath);
  EXPECT_EQ(choice()->getSelectedId(), 1);
}

TEST_F(FileTransferDialogTest, AChangedFetchFolderIsSavedToTheConfigurationFile) {
  setFetchDir("/srv/files");
  make();
  // Wide enough for the folders' whole labels.
  dialog->setContentSize(800, 330);
  // The folder of the file is made when missing.
  dialog->show();
  std::string config = dir.file("conf/zav/zavconfig");
  dialog->setConfigFile(config.c_str());
  EXPECT_EQ(dialog->getConfigFile(), config);

  choice()->setSelectedId(FileTransferDialog::AskEveryTime);
  EXPECT_EQ(fetchDir(), "?");
  EXPECT_EQ(savedFetchDir(config), "?");
  EXPECT_EQ(choice()->getSelectedId(), 0);
  EXPECT_EQ(label(1), "(absent)");

  choice()->setSelectedId(FileTransferDialog::DefaultFolder);
  EXPECT_EQ(fetchDir(), "");
  EXPECT_EQ(savedFetchDir(config), "");
  EXPECT_EQ(choice()->getSelectedId(), 1);

  // The item in force chosen again changes nothing.
  testing_support::writeFile(config, "Other=1\n");
  choice()->setSelectedId(FileTransferDialog::CurrentFolder);
  EXPECT_EQ(savedFetchDir(config), "(none)");

  // "Other...": the folder dialog comes up in the folder in force, the
  // choice stays; OK makes the folder the fetch folder.
  mkdir(dir.file("in").c_str(), 0755);
  choice()->setSelectedId(FileTransferDialog::Other);
  EXPECT_TRUE(dialog->isChoosingFolder());
  EXPECT_TRUE(dialog->isInputDisabled());
  EXPECT_EQ(choice()->getSelectedId(), 1);
  EXPECT_STREQ(dialog->getFolderBrowser()->getPath(), (home() + "/Desktop").c_str());
  chooseFolder(dir.file("in"));
  EXPECT_FALSE(dialog->isChoosingFolder());
  EXPECT_FALSE(dialog->isInputDisabled());
  EXPECT_EQ(fetchDir(), dir.file("in"));
  EXPECT_EQ(savedFetchDir(config), dir.file("in"));
  EXPECT_NE(testing_support::readFile(config).find("Other=1"), std::string::npos);
  EXPECT_EQ(label(1), dir.file("in"));
}

TEST_F(FileTransferDialogTest, OtherCancelledLeavesFolderAndSelectionAsTheyWere) {
  setFetchDir("?");
  make();
  dialog->show();
  std::string config = dir.file("zavconfig");
  dialog->setConfigFile(config.c_str());
  choice()->setSelectedId(FileTransferDialog::Other);
  ASSERT_TRUE(dialog->isChoosingFolder());
  EXPECT_STREQ(dialog->getFolderDialog()->promptLabel()->getText(), "");
  dialog->getFolderDialog()->cancel();
  EXPECT_FALSE(dialog->isChoosingFolder());
  EXPECT_FALSE(dialog->isInputDisabled());
  EXPECT_EQ(fetchDir(), "?");
  EXPECT_EQ(choice()->getSelectedId(), 0);
  EXPECT_NE(access(config.c_str(), F_OK), 0);
}

TEST_F(FileTransferDialogTest, AConfigurationFileThatCannotBeWrittenIsReportedInTheMessageBox) {
  setFetchDir("/srv/files");
  make();
  testing_support::writeFile(dir.file("plain"), "not a folder");
  dialog->setConfigFile(dir.file("plain/zavconfig").c_str());
  dialog->show();
  choice()->setSelectedId(FileTransferDialog::AskEveryTime);
  // In force for this run all the same, and the choice says so.
  EXPECT_EQ(fetchDir(), "?");
  EXPECT_EQ(choice()->getSelectedId(), 0);
  ASSERT_TRUE(boxShown());
  EXPECT_TRUE(dialog->isInputDisabled());
  // In the user's terms, not the system call's.
  std::string text = dialog->getMessageBox()->label()->getText();
  EXPECT_EQ(text, "Could not create the folder " + dir.file("plain") +
                      ": a file of that name exists");
  x.pumpFor(100);
  testing_support::screenshot(x, dialog->getMessageBox()->win(), "file-transfer-error");

  // OK closes the box and the dialog takes input again.
  dialog->getMessageBox()->onClick(dialog->getMessageBox()->button(0));
  EXPECT_FALSE(dialog->isInputDisabled());
  EXPECT_TRUE(x.pumpUntil([&] { return !dialog->getMessageBox()->isMapped(); }));
}

TEST_F(FileTransferDialogTest, FolderRequestsAreAskedOneAtATimeInArrivalOrder) {
  setFetchDir("?");
  make();
  push(viewers[0], 7, "first.txt");
  push(viewers[1], 8, "second.txt");
  EXPECT_EQ(dialog->pendingCount(), 2u);
  EXPECT_EQ(autoDownloader->pendingCount(), 2u);
  ASSERT_TRUE(dialog->isChoosingFolder());
  EXPECT_TRUE(dialog->isInputDisabled());
  EXPECT_STREQ(dialog->getFolderDialog()->promptLabel()->getText(),
               "Select folder to save first.txt (4 bytes):");

  // Cancelled: the first share is dropped and the second asked for.
  dialog->getFolderDialog()->cancel();
  EXPECT_EQ(dialog->pendingCount(), 1u);
  EXPECT_EQ(autoDownloader->pendingCount(), 1u);
  ASSERT_TRUE(dialog->isChoosingFolder());
  EXPECT_STREQ(dialog->getFolderDialog()->promptLabel()->getText(),
               "Select folder to save second.txt (4 bytes):");

  // Answered: the share is fetched into the folder; the fetch folder stays.
  chooseFolder(dir.path());
  EXPECT_EQ(dialog->pendingCount(), 0u);
  EXPECT_FALSE(dialog->isChoosingFolder());
  EXPECT_FALSE(dialog->isInputDisabled());
  deliver(viewers[1], 8);
  EXPECT_EQ(testing_support::readFile(dir.file("second.txt")), "data");
  EXPECT_EQ(fetchDir(), "?");
  EXPECT_EQ(dialog->getDownloadsUI()->getRows().size(), 1u);
  EXPECT_TRUE(dialog->getClearButton()->isEnabled());
  dialog->onClick(dialog->getClearButton());
  EXPECT_TRUE(dialog->getDownloadsUI()->getRows().empty());
  EXPECT_FALSE(dialog->getClearButton()->isEnabled());
}

// The prompt quotes the viewer's name on one line, as it reads: a line break
// cannot add lines of the viewer's own, nor a direction override turn the
// name around.
TEST_F(FileTransferDialogTest, TheFolderPromptShowsAViewersNameWithItsControlsReplaced) {
  setFetchDir("?");
  make();
  push(viewers[0], 7, "a.txt\n\nYour password has expired.\x1b[2J");
  push(viewers[1], 8, "invoice\xE2\x80\xAEtxt.exe");
  ASSERT_TRUE(dialog->isChoosingFolder());
  EXPECT_STREQ(dialog->getFolderDialog()->promptLabel()->getText(),
               "Select folder to save a.txt??Your password has expired.?[2J (4 bytes):");
  dialog->getFolderDialog()->cancel();
  ASSERT_TRUE(dialog->isChoosingFolder());
  EXPECT_STREQ(dialog->getFolderDialog()->promptLabel()->getText(),
               "Select folder to save invoice?txt.exe (4 bytes):");
  dialog->getFolderDialog()->cancel();
}

TEST_F(FileTransferDialogTest, AShareWhoseViewerLeftIsReportedAndTheNextOneAsked) {
  setFetchDir("?");
  make();
  dialog->show();
  push(viewers[0], 7, "gone.txt");
  push(viewers[1], 8, "kept.txt");
  ext.closeConnection(&viewers[0].conn);
  chooseFolder(dir.path());
  ASSERT_TRUE(boxShown());
  EXPECT_STREQ(dialog->getMessageBox()->label()->getText(), "The files are no longer available.");
  EXPECT_TRUE(dialog->isInputDisabled());
  // The next request is asked for all the same.
  ASSERT_TRUE(dialog->isChoosingFolder());
  EXPECT_STREQ(dialog->getFolderDialog()->promptLabel()->getText(),
               "Select folder to save kept.txt (4 bytes):");
  dialog->getMessageBox()->onClick(dialog->getMessageBox()->button(0));
  // The folder dialog is still up: input stays off until it ends.
  EXPECT_TRUE(dialog->isInputDisabled());
  dialog->getFolderDialog()->cancel();
  EXPECT_FALSE(dialog->isInputDisabled());
  EXPECT_EQ(autoDownloader->pendingCount(), 0u);
}

TEST_F(FileTransferDialogTest, AFileThatCannotBeSentIsReportedAndNothingIsOffered) {
  make();
  dialog->show();
  ui::WFileDialog* sd = dialog->getSendDialog();
  dialog->onClick(dialog->getSendButton());
  EXPECT_TRUE(dialog->isInputDisabled());
  sd->pathField()->setText(dir.file("vanished.txt").c_str());
  sd->accept();
  ASSERT_TRUE(boxShown());
  EXPECT_TRUE(dialog->isInputDisabled());
  EXPECT_EQ(std::string(dialog->getMessageBox()->label()->getText()),
            "Could not look up " + dir.file("vanished.txt") + ": no such file or folder");
  // No share was made, so none is offered.
  EXPECT_EQ(manager.getUploadManager()->getCurrentShareId(), 0u);
  dialog->getMessageBox()->onClick(dialog->getMessageBox()->button(0));
  EXPECT_FALSE(dialog->isInputDisabled());
}

// A pushed share whose listing goes beyond the bound is refused; the user
// reads why in the dialog's error box, which the refusal brings up.
TEST_F(FileTransferDialogTest, ARefusedListingIsShownInTheErrorBox) {
  setFetchDir(dir.path());
  make();
  Viewer& v = viewers[0];
  send(v, Bytes().u32(1).u32(7).u8(0).u32(1));
  ft_test::fillListing(ext.getDownloadManager(ft::Extension::idOf(&v.conn)),
                       ft_test::listingEntryBound);
  EXPECT_FALSE(dialog->isMapped());
  send(v, Bytes().u32(3).u32(7).u32(1).entry("one too many", 0, 4));
  ASSERT_TRUE(boxShown());
  EXPECT_TRUE(x.pumpUntil([&] { return dialog->isMapped(); }));
  EXPECT_TRUE(dialog->isInputDisabled());
  EXPECT_STREQ(dialog->getMessageBox()->label()->getText(),
               "The files offered could not be received: their list is longer than 1000000 "
               "entries or 256 MB of names.");
  EXPECT_TRUE(dialog->getDownloadsUI()->getRows().empty());
  dialog->getMessageBox()->onClick(dialog->getMessageBox()->button(0));
  EXPECT_FALSE(dialog->isInputDisabled());
}

TEST_F(FileTransferDialogTest, NoticesCarryTheLogoAndALinkThatShowsTheDialog) {
  make();
  ft::NotifyDlg* n = dialog->getCompleteNotify();
  EXPECT_EQ(n->layout()->width(), ui::HalbrinLogo::logoWidth + 2 + 180);
  EXPECT_EQ(n->layout()->height(), ui::HalbrinLogo::logoHeight + 2);
  EXPECT_EQ(n->layout()->getChildRect(n->label()),
            rfb::Rect(ui::HalbrinLogo::logoWidth + 1, 1, ui::HalbrinLogo::logoWidth + 181,
                      ui::HalbrinLogo::logoHeight));
  dialog->showCompleteNotification();
  EXPECT_TRUE(n->isHideTimerRunning());
  ASSERT_TRUE(x.pumpUntil([&] { return n->isMapped(); }));
  x.pumpFor(100);
  testing_support::screenshot(x, n->win(), "file-transfer-complete-notice");
  dialog->showFailedNotification();
  EXPECT_TRUE(dialog->getFailedNotify()->isHideTimerRunning());
  EXPECT_FALSE(dialog->isMapped());
  dialog->linkClicked(1);
  EXPECT_TRUE(x.pumpUntil([&] { return dialog->isMapped(); }));
}

// ---------------------------------------------------------------------------
// Against the stand-in server on the program's loopback stream.

// The stand-in and the program's connection to it, for the whole process:
// the extension's client keeps what it learnt of a display until the end.
testing_support::XzavSharedDisplay& standIn() {
  return testing_support::XzavTestServer::withExtension();
}

class FileTransferStreamTest : public ::testing::Test {
protected:
  FileTransferStreamTest() : server(*standIn().server), streamDpy(standIn().dpy) {
    testing_support::testAppInit();
    server.reset();
  }
  ~FileTransferStreamTest() override {
    dialog.reset();
    autoDownloader.reset();
    sockets.reset();
    connection.reset();
    ActiveShareAutoDownloader::fetchDir.unsetParam(50);
    ActiveShareAutoDownloader::fetchDir.unsetParam(testPriority);
  }
  void connect() {
    connection->connect(streamDpy, sockets.get(), 5000);
    autoDownloader.reset(new ActiveShareAutoDownloader(connection->getExtension(), nullptr));
    dialog.reset(new FileTransferDialog(x.dpy, autoDownloader.get(),
                                        connection->getManager()->getUploadManager()));
  }
  std::string status() {
    return server.control("{\"cmd\": \"stream\", \"kind\": \"ft\", \"status\": true}");
  }
  // Serves the stream and the dialog's display until pred holds.
  bool runUntil(const std::function<bool()>& pred, int seconds = 30) {
    for (int i = 0; i < seconds * 100; i++) {
      if (pred())
        return true;
      x.pumpOnce(0);
      sockets->getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, 10);
    }
    return pred();
  }
  std::string q(const std::string& s) { return "\"" + s + "\""; }

  testing_support::XzavDouble& server;
  Display* streamDpy;
  TxTestDisplay x{"800x600x24"};
  TempDir dir;
  std::unique_ptr<zavconfig::XServerConnectionFT> connection{new zavconfig::XServerConnectionFT};
  std::unique_ptr<net::SelectSocketManager> sockets{new net::SelectSocketManager};
  std::unique_ptr<ActiveShareAutoDownloader> autoDownloader;
  std::unique_ptr<FileTransferDialog> dialog;
};

TEST_F(FileTransferStreamTest, ChosenFilesReachTheViewerAsAPushedShare) {
  TempDir fetched;
  mkdir(dir.file("out").c_str(), 0755);
  testing_support::writeFile(dir.file("out/a.txt"), "alpha");
  testing_support::writeFile(dir.file("out/b.txt"), "bravo");
  testing_support::writeFile(dir.file("out/c.txt"), "not chosen");
  server.control("{\"cmd\": \"stream\", \"kind\": \"ft\", \"set\": {\"fetch_dir\": " +
                 q(fetched.path()) + "}}");
  connect();
  dialog->setSendEnabled(true);
  dialog->show();
  ui::WFileDialog* sd = dialog->getSendDialog();

  // Nothing chosen: nothing is sent.
  dialog->onClick(dialog->getSendButton());
  EXPECT_TRUE(dialog->isInputDisabled());
  ASSERT_TRUE(x.pumpUntil([&] { return sd->isMapped(); }));
  sd->pathField()->setText("");
  sd->accept();
  EXPECT_FALSE(dialog->isInputDisabled());

  // Two of the three files of a folder.
  dialog->onClick(dialog->getSendButton());
  sd->pathField()->setText((dir.file("out") + "/").c_str());
  ASSERT_TRUE(x.pumpUntil([&] { return sd->fileList()->numItems() >= 4; }));
  WFileList* list = sd->fileList();
  list->selectRange(list->selectByName("a.txt", false), list->selectByName("b.txt", false));
  sd->accept();
  ASSERT_TRUE(runUntil([&] {
    std::string st = status();
    return st.find("\"a.txt\"") != std::string::npos && st.find("\"b.txt\"") != std::string::npos;
  })) << status();
  std::string st = status();
  // One advertisement, with the fetch-at-once flag.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(st, m, std::regex("\"ShareCtrl [0-9]+ 0 ([0-9]+)\""))) << st;
  EXPECT_EQ(m[1], "1");
  EXPECT_EQ(m.suffix().str().find("ShareCtrl"), std::string::npos) << st;
  EXPECT_EQ(testing_support::readFile(fetched.file("a.txt")), "alpha");
  EXPECT_EQ(testing_support::readFile(fetched.file("b.txt")), "bravo");
  EXPECT_NE(access(fetched.file("c.txt").c_str(), F_OK), 0);
}

TEST_F(FileTransferStreamTest, APushedShareShowsInTheDownloadsWindow) {
  TempDir into;
  mkdir(dir.file("photos").c_str(), 0755);
  testing_support::writeFile(dir.file("photos/one.png"), std::string(5000, 'x'));
  testing_support::writeFile(dir.file("photos/two.txt"), "two");
  server.control("{\"cmd\": \"stream\", \"kind\": \"ft\", \"set\": {\"push\": " +
                 q(dir.file("photos")) + "}}");
  setFetchDir(into.path());
  connect();
  dialog->show();
  ft::DownloadsUI* ui = dialog->getDownloadsUI();
  ASSERT_TRUE(runUntil([&] {
    return !ui->getRows().empty() && ui->getRows().front()->status == "Download complete";
  })) << status();
  EXPECT_EQ(testing_support::readFile(into.file("photos/two.txt")), "two");
  EXPECT_TRUE(dialog->getClearButton()->isEnabled());
  EXPECT_TRUE(dialog->getCompleteNotify()->isHideTimerRunning());

  // Two more rows, as the share downloader reports downloads under way.
  ft::ShareDownloader::SDCallback* model = autoDownloader->getCallback();
  ft::ShareDownloader::Id running(9, 1), paused(9, 2);
  model->downloadStarted(running, {"report.pdf"});
  model->setRootDir(running, (into.path() + "/").c_str());
  model->setTopLevelPath(running, into.file("report.pdf").c_str());
  model->downloadProgress(running, 400000, 1000000, 2, 5);
  model->downloadStarted(paused, {"song.mp3", "notes.txt"});
  model->setRootDir(paused, (into.path() + "/").c_str());
  model->downloadProgress(paused, 300, 1000, 1, 2);
  ASSERT_EQ(ui->getRows().size(), 3u);
  x.pumpFor(300);
  std::string path = testing_support::screenshot(x, dialog->win(), "file-transfer-dialog");
  EXPECT_EQ(access(path.c_str(), F_OK), 0);
}

} // namespace
