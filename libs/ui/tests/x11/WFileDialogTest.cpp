// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "ui/WFileDialog.h"

#include "CaptureLogger.h"
#include "FileContents.h"
#include "PngFile.h"
#include "TempDir.h"
#include "TxDialogResults.h"
#include "TxModalScript.h"
#include "TxTestDisplay.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

using testing_support::TempDir;
using testing_support::TxTestDisplay;
using testing_support::writeFile;

namespace {

using Finished = testing_support::TxDialogResults;

// A directory browser that counts its listings.
class CountingBrowser : public ui::DirBrowser {
public:
  void startListing() override {
    listings++;
    ui::DirBrowser::startListing();
  }
  int listings = 0;
};

std::string realPath(const std::string& p) {
  char buf[PATH_MAX];
  return realpath(p.c_str(), buf) ? buf : "";
}

class FileDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    testing_support::testAppInit();
    root = realPath(dir.path());
    mkdir((root + "/docs").c_str(), 0755);
    mkdir((root + "/docs/old").c_str(), 0755);
    writeFile(root + "/docs/letter.txt", "l");
    writeFile(root + "/docs/list.txt", "l");
    writeFile(root + "/docs/.secret", "s");
    mkdir((root + "/music").c_str(), 0755);
    writeFile(root + "/notes.txt", "n");
    writeFile(root + "/.profile", "p");
    symlink((root + "/docs").c_str(), (root + "/link").c_str());
    browser.setPath(root.c_str());
  }

  // Shows the dialog (not modal) and waits until it is drawn.
  void showDialog(ui::WFileDialog& dlg) {
    dlg.show();
    ASSERT_TRUE(x.pumpUntil([&] { return dlg.getImage() != nullptr; }));
  }

  // Keys and clicks as X delivers them to the window.
  void key(TXWParent& w, KeySym ks, bool down) {
    XEvent ev = {};
    ev.xkey.type = down ? KeyPress : KeyRelease;
    ev.xkey.display = x.dpy;
    ev.xkey.window = w.win();
    ev.xkey.keycode = XKeysymToKeycode(x.dpy, ks);
    ASSERT_NE(0, ev.xkey.keycode) << ks;
    if (XkbKeycodeToKeysym(x.dpy, KeyCode(ev.xkey.keycode), 0, 0) != ks)
      ev.xkey.state = ShiftMask;
    w.handleEvent(&w, &ev);
  }
  void press(TXWParent& w, KeySym ks) {
    key(w, ks, true);
    key(w, ks, false);
  }
  void typeText(TXWParent& w, const std::string& text) {
    for (char c : text)
      press(w, KeySym(static_cast<unsigned char>(c)));
  }
  void withControl(TXWParent& w, KeySym ks) {
    key(w, XK_Control_L, true);
    press(w, ks);
    key(w, XK_Control_L, false);
  }
  void button(TXWParent& w, rfb::Point p, bool down) {
    XEvent ev = {};
    ev.xbutton.type = down ? ButtonPress : ButtonRelease;
    ev.xbutton.display = x.dpy;
    ev.xbutton.window = w.win();
    ev.xbutton.x = p.x;
    ev.xbutton.y = p.y;
    ev.xbutton.button = 1;
    ev.xbutton.state = down ? 0 : Button1Mask;
    w.handleEvent(&w, &ev);
  }
  // Clicks an item of the dialog's list (in window coordinates).
  void clickItem(ui::WFileDialog& dlg, const std::string& name) {
    WFileList* list = dlg.fileList();
    for (const WFileList::Item& i : list->items()) {
      if (i.name == name) {
        rfb::Point p = list->mapPointTo(i.rect.tl.translate(rfb::Point(2, 2)), dlg.getChild());
        button(dlg, p, true);
        button(dlg, p, false);
        return;
      }
    }
    ADD_FAILURE() << "no item " << name;
  }
  std::vector<std::string> names(ui::WFileDialog& dlg) {
    std::vector<std::string> out;
    for (const WFileList::Item& i : dlg.fileList()->items())
      out.push_back(WFileList::displayName(i));
    return out;
  }
  std::vector<std::string> selected(ui::WFileDialog& dlg) {
    std::vector<std::string> out;
    for (const WFileList::Item& i : dlg.fileList()->items())
      if (i.selected)
        out.push_back(i.name);
    return out;
  }
  std::vector<std::string> paths(ui::WFileDialog& dlg) {
    std::vector<plat::String> p;
    dlg.getSelectedPaths(&p);
    std::vector<std::string> out;
    for (const plat::String& s : p)
      out.push_back(s.c_str());
    return out;
  }
  std::string field(ui::WFileDialog& dlg) { return dlg.pathField()->getText(); }
  std::string selectedText(ui::WFileDialog& dlg) {
    int caret = 0, anchor = 0;
    dlg.pathField()->getSelection(&caret, &anchor);
    return field(dlg).substr(size_t(std::min(caret, anchor)), size_t(std::abs(caret - anchor)));
  }

  TxTestDisplay x{"1280x1024x24"};
  TempDir dir;
  std::string root;
  CountingBrowser browser;
};

} // namespace

TEST_F(FileDialogTest, LaysOutListPromptPathRowAndButtons) {
  ui::WFileDialog dlg(x.dpy, false);
  EXPECT_EQ(400, dlg.width());
  EXPECT_EQ(200, dlg.height());
  dlg.setPrompt("Select files to send:");
  wvw::WCanvas* c = dlg.content();
  int W = 400, H = 200, d = 3;
  rfb::Rect scroll = c->getChildRect(dlg.scrollView());
  rfb::Rect prompt = c->getChildRect(dlg.promptLabel());
  rfb::Rect label = c->getChildRect(dlg.pathLabel());
  rfb::Rect path = c->getChildRect(dlg.pathField());
  rfb::Rect ok = c->getChildRect(dlg.okButton());
  rfb::Rect cancel = c->getChildRect(dlg.cancelButton());
  rfb::Rect hidden = c->getChildRect(dlg.hiddenCheckBox());
  EXPECT_EQ(rfb::Rect(d, d, W - d, d + scroll.height()), scroll);
  EXPECT_EQ(rfb::Point(d, 2 * d + scroll.height()), prompt.tl);
  EXPECT_EQ(W - 2 * d, prompt.width());
  EXPECT_GT(prompt.height(), 0);
  int row = 3 * d + scroll.height() + prompt.height();
  EXPECT_EQ(rfb::Point(d, row + (path.height() - label.height()) / 2), label.tl);
  EXPECT_EQ(rfb::Rect(2 * d + label.width(), row, W - d, row + path.height()), path);
  EXPECT_EQ(ok.width(), cancel.width());
  EXPECT_EQ(ok.height(), cancel.height());
  EXPECT_EQ(rfb::Point(W - d - cancel.width(), row + d + path.height()), cancel.tl);
  EXPECT_EQ(rfb::Point(cancel.tl.x - d - ok.width(), cancel.tl.y), ok.tl);
  EXPECT_EQ(ok.tl.x - d, hidden.br.x);
  EXPECT_EQ(ok.tl.y + (ok.height() - hidden.height()) / 2, hidden.tl.y);
  EXPECT_EQ(H, cancel.br.y + d) << "the rows fill the height";
  // The list fills the view: as high as it and at least as wide.
  EXPECT_EQ(scroll.height(), dlg.fileList()->height());
  EXPECT_EQ(scroll.width(), dlg.fileList()->minWidth());
}

TEST_F(FileDialogTest, ShowingListsTheBrowsersFolderAndOffersItsEntriesAsCompletions) {
  ui::WFileDialog dlg(x.dpy, false);
  dlg.setItemGetter(&browser);
  EXPECT_FALSE(dlg.isAttached());
  showDialog(dlg);
  EXPECT_TRUE(dlg.isAttached());
  EXPECT_EQ(root + "/", field(dlg));
  EXPECT_EQ((std::vector<std::string>{"../", "docs/", "link/", "music/", "notes.txt"}), names(dlg));
  EXPECT_EQ((std::vector<std::string>{root + "/", root + "/docs", root + "/link", root + "/music",
                                      root + "/notes.txt"}),
            dlg.pathField()->getCompletions());
  // With nothing selected "OK" gives the field's text.
  EXPECT_TRUE(dlg.okButton()->isEnabled());
  EXPECT_EQ((std::vector<std::string>{root + "/"}), paths(dlg));
  dlg.unmap();
  EXPECT_FALSE(dlg.isAttached());
}

TEST_F(FileDialogTest, TypingCompletesAndASlashEntersTheCompletedFolder) {
  ui::WFileDialog dlg(x.dpy, false);
  dlg.setItemGetter(&browser);
  showDialog(dlg);
  dlg.pathField()->takeFocus();
  typeText(dlg, "d");
  EXPECT_EQ(root + "/docs", field(dlg));
  EXPECT_EQ("ocs", selectedText(dlg));
  EXPECT_EQ((std::vector<std::string>{"docs"}), selected(dlg));
  typeText(dlg, "/");
  EXPECT_EQ(root + "/docs/", field(dlg));
  EXPECT_EQ(root + "/docs", browser.getPath());
  EXPECT_EQ((std::vector<std::string>{"../", "letter.txt", "list.txt", "old/"}), names(dlg));
  typeText(dlg, "li");
  EXPECT_EQ(root + "/docs/list.txt", field(dlg));
  EXPECT_EQ((std::vector<std::string>{"list.txt"}), selected(dlg));
  EXPECT_EQ((std::vector<std::string>{root + "/docs/list.txt"}), paths(dlg));
}

TEST_F(FileDialogTest, AFullPathToAnEntryListsItsFolderSelectsItAndStaysAsTyped) {
  ui::WFileDialog dlg(x.dpy, false);
  dlg.setItemGetter(&browser);
  showDialog(dlg);
  // Set at once, as a paste does.
  dlg.pathField()->setText((root + "/docs/letter.txt").c_str());
  EXPECT_EQ(root + "/docs", browser.getPath());
  EXPECT_EQ(root + "/docs/letter.txt", field(dlg)) << "the field is not rewritten";
  EXPECT_EQ((std::vector<std::string>{"letter.txt"}), selected(dlg));
  EXPECT_STREQ((root + "/docs/letter.txt").c_str(), dlg.getResolvedPath().c_str());
  // A name that is only a prefix selects nothing.
  dlg.pathField()->setText((root + "/docs/lett").c_str());
  EXPECT_TRUE(selected(dlg).empty());
  EXPECT_EQ(root + "/docs/lett", field(dlg));
  EXPECT_EQ((std::vector<std::string>{root + "/docs/lett"}), paths(dlg));
}

// Directories are compared resolved: through a symbolic link or ".." the
// folder is listed once, not at every key, and the field keeps the typed
// form (it used to be rewritten to the resolved folder, losing the name).
TEST_F(FileDialogTest, TypingThroughALinkOrDotDotListsTheFolderOnceAndKeepsTheText) {
  struct Case {
    std::string typedDir;
  } cases[] = {{root + "/link/"}, {root + "/music/../docs/"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typedDir);
    ui::WFileDialog dlg(x.dpy, false);
    browser.setPath(root.c_str());
    dlg.setItemGetter(&browser);
    showDialog(dlg);
    dlg.pathField()->setText(c.typedDir.c_str());
    dlg.pathField()->takeFocus();
    int listings = browser.listings;
    typeText(dlg, "lis");
    EXPECT_EQ(listings, browser.listings);
    EXPECT_EQ(root + "/docs", browser.getPath());
    EXPECT_EQ(c.typedDir + "list.txt", field(dlg)) << "completed in the typed form";
    EXPECT_EQ((std::vector<std::string>{"list.txt"}), selected(dlg));
    press(dlg, XK_BackSpace);
    typeText(dlg, "x");
    EXPECT_EQ(c.typedDir + "lisx", field(dlg));
    EXPECT_EQ(listings, browser.listings);
    dlg.pathField()->setText((c.typedDir + "old/").c_str());
    EXPECT_EQ(listings + 1, browser.listings);
    EXPECT_EQ(root + "/docs/old", browser.getPath());
    EXPECT_EQ(c.typedDir + "old/", field(dlg));
  }
}

TEST_F(FileDialogTest, ASlashAloneListsTheRootDirectory) {
  ui::WFileDialog dlg(x.dpy, false);
  dlg.setItemGetter(&browser);
  showDialog(dlg);
  dlg.pathField()->setText("/");
  EXPECT_STREQ("/", browser.getPath());
  EXPECT_EQ("/", field(dlg));
  std::vector<std::string> n = names(dlg);
  EXPECT_NE(n.end(), std::find(n.begin(), n.end(), "tmp/"));
}

TEST_F(FileDialogTest, ControlBackSpaceRemovesOnePathComponentAndControlDeleteTheRest) {
  ui::WFileDialog dlg(x.dpy, false);
  dlg.setItemGetter(&browser);
  showDialog(dlg);
  dlg.pathField()->takeFocus();
  dlg.pathField()->setText("/usr/share/doc");
  withControl(dlg, XK_BackSpace);
  EXPECT_EQ("/usr/share/", field(dlg));
  withControl(dlg, XK_BackSpace);
  EXPECT_EQ("/usr/", field(dlg));
  withControl(dlg, XK_BackSpace);
  EXPECT_EQ("/", field(dlg));
  dlg.pathField()->setText("/usr/share/doc");
  dlg.pathField()->setSelection(5, 5);
  withControl(dlg, XK_Delete);
  EXPECT_EQ("/usr/", field(dlg));
  // Without Control the keys delete one character.
  dlg.pathField()->setText("/usr/share");
  press(dlg, XK_BackSpace);
  EXPECT_EQ("/usr/shar", field(dlg));
}

TEST_F(FileDialogTest, OkGivesTheSelectedPathsOrTheFieldResolved) {
  ui::WFileDialog dlg(x.dpy, false);
  dlg.setItemGetter(&browser);
  dlg.setMode(true);
  showDialog(dlg);
  clickItem(dlg, "notes.txt");
  EXPECT_EQ(root + "/notes.txt", field(dlg));
  key(dlg, XK_Control_L, true);
  x.pumpFor(600); // no double click
  clickItem(dlg, "docs");
  clickItem(dlg, "..");
  key(dlg, XK_Control_L, false);
  EXPECT_EQ((std::vector<std::string>{"..", "docs", "notes.txt"}), selected(dlg));
  EXPECT_EQ(root + "/", field(dlg)) << "several selected: the folder";
  EXPECT_EQ((std::vector<std::string>{root + "/docs", root + "/notes.txt"}), paths(dlg));

  struct Case {
    std::string text, resolved;
  } cases[] = {
      {root + "/music/../docs/new.txt", root + "/docs/new.txt"},
      {root + "/link/letter.txt", root + "/docs/letter.txt"},
      {root + "/link/missing/deeper", root + "/docs/missing/deeper"},
      {root + "/missing/../x", root + "/missing/../x"},
      {"/../" + root.substr(1), root},
  };
  for (const Case& c : cases) {
    dlg.pathField()->setText(c.text.c_str());
    EXPECT_STREQ(c.resolved.c_str(), dlg.getResolvedPath().c_str()) << c.text;
  }
  dlg.pathField()->setText("");
  EXPECT_TRUE(dlg.getResolvedPath().isNull());
  EXPECT_STREQ("/nowhere", ui::resolvePath("/nowhere").c_str());
  EXPECT_STREQ("/", ui::resolvePath("/..").c_str());
  EXPECT_STREQ("/zav-nowhere/x", ui::resolvePath("/../zav-nowhere/x").c_str())
      << "no second \"/\" after the root";
  EXPECT_STREQ("relative/x", ui::resolvePath("relative/x").c_str());
}

TEST_F(FileDialogTest, AFolderChooserEnablesOkOnlyForWritableFolders) {
  ui::WFileDialog dlg(x.dpy, false);
  browser.setFlags(ui::DirBrowser::MustBeWritable);
  dlg.setItemGetter(&browser);
  showDialog(dlg);
  EXPECT_EQ((std::vector<std::string>{"../", "docs/", "link/", "music/"}), names(dlg));
  struct Case {
    std::string text;
    bool ok;
  } cases[] = {
      {root + "/notes.txt", false},       {root + "/docs/", true},
      {root + "/docs/letter.txt", false}, {root + "/docs/new/deeper", true},
      {root + "/notes.txt/x", false},     {"", false},
  };
  for (const Case& c : cases) {
    dlg.pathField()->setText(c.text.c_str());
    EXPECT_EQ(c.ok, dlg.okButton()->isEnabled()) << c.text;
  }
  // A disabled "OK" ignores Return.
  Finished finished;
  dlg.setCallback(&finished);
  dlg.pathField()->setText((root + "/notes.txt").c_str());
  dlg.pathField()->takeFocus();
  press(dlg, XK_Return);
  EXPECT_TRUE(finished.results.empty());
  EXPECT_FALSE(dlg.isDone());
}

TEST_F(FileDialogTest, ActivatingAFolderEntersItAndAFileActsAsOk) {
  ui::WFileDialog dlg(x.dpy, false);
  Finished finished;
  dlg.setCallback(&finished);
  dlg.setItemGetter(&browser);
  showDialog(dlg);
  clickItem(dlg, "docs");
  clickItem(dlg, "docs");
  EXPECT_EQ(root + "/docs", browser.getPath());
  EXPECT_EQ(root + "/docs/", field(dlg));
  EXPECT_EQ((std::vector<std::string>{"../", "letter.txt", "list.txt", "old/"}), names(dlg));
  EXPECT_TRUE(selected(dlg).empty());
  // Return on a selected folder enters it too; ".." goes back up.
  dlg.fileList()->takeFocus();
  press(dlg, XK_Home);
  EXPECT_EQ((std::vector<std::string>{".."}), selected(dlg));
  press(dlg, XK_Return);
  EXPECT_EQ(root, browser.getPath());
  EXPECT_TRUE(finished.results.empty());
  x.pumpFor(600);
  clickItem(dlg, "notes.txt");
  clickItem(dlg, "notes.txt");
  EXPECT_EQ((std::vector<bool>{true}), finished.results);
  EXPECT_FALSE(dlg.isMapped());
  EXPECT_EQ((std::vector<std::string>{root + "/notes.txt"}), paths(dlg));
}

TEST_F(FileDialogTest, AFolderThatCannotBeEnteredShowsTheErrorAndStaysWhereItWas) {
  ui::WFileDialog dlg(x.dpy, false);
  dlg.setItemGetter(&browser);
  showDialog(dlg);
  // The folder turns into a file after it was listed.
  ASSERT_EQ(0, rmdir((root + "/music").c_str()));
  writeFile(root + "/music", "not a folder");
  clickItem(dlg, "music");
  clickItem(dlg, "music");
  EXPECT_EQ(root, browser.getPath());
  EXPECT_TRUE(dlg.inputDisabled());
  ASSERT_TRUE(x.pumpUntil([&] { return dlg.errorBox()->isMapped(); }));
  EXPECT_STREQ("opendir: Not a directory (20)", dlg.errorBox()->label()->getText());
  EXPECT_EQ(root + "/music", field(dlg)) << "still the selected entry";
  EXPECT_EQ((std::vector<std::string>{"music"}), selected(dlg));
  // Input to the dialog is ignored until the box is closed.
  press(dlg, XK_Escape);
  EXPECT_FALSE(dlg.isDone());
  testing_support::sendDeleteWindow(x.dpy, dlg.errorBox()->win());
  ASSERT_TRUE(x.pumpUntil([&] { return !dlg.inputDisabled(); }));
  press(dlg, XK_Escape);
  EXPECT_TRUE(dlg.isDone());
  EXPECT_FALSE(dlg.getResult());
}

TEST_F(FileDialogTest, AFolderThatCannotBeListedLeavesTheListEmptyAndTheFieldAsTyped) {
  ui::WFileDialog dlg(x.dpy, false);
  dlg.setItemGetter(&browser);
  showDialog(dlg);
  testing_support::ScopedCapture capture("WFileDialog", 100);
  dlg.pathField()->setText((root + "/notes.txt/").c_str());
  EXPECT_EQ(0, dlg.fileList()->numItems());
  EXPECT_EQ(root + "/notes.txt/", field(dlg));
  EXPECT_TRUE(capture.logger.contains("opendir: Not a directory (20)"));
  EXPECT_FALSE(dlg.errorBox()->isMapped());
  // A folder that does not exist is no failure: just empty.
  dlg.pathField()->setText((root + "/nothing/here").c_str());
  EXPECT_EQ(0, dlg.fileList()->numItems());
  EXPECT_EQ(root + "/nothing", browser.getPath());
  dlg.pathField()->setText((root + "/docs/").c_str());
  EXPECT_EQ(4, dlg.fileList()->numItems());
}

TEST_F(FileDialogTest, TheCheckBoxShowsHiddenEntries) {
  ui::WFileDialog dlg(x.dpy, false);
  browser.setFlags(ui::DirBrowser::ListFiles | ui::DirBrowser::ShowHidden);
  dlg.setItemGetter(&browser);
  EXPECT_TRUE(dlg.hiddenCheckBox()->getCheckBox()->isChecked());
  showDialog(dlg);
  EXPECT_EQ((std::vector<std::string>{"../", ".profile", "docs/", "link/", "music/", "notes.txt"}),
            names(dlg));
  dlg.pathField()->setText((root + "/notes").c_str());
  dlg.hiddenCheckBox()->getCheckBox()->setChecked(false);
  EXPECT_EQ(uint32_t(ui::DirBrowser::ListFiles), browser.getFlags());
  EXPECT_EQ((std::vector<std::string>{"../", "docs/", "link/", "music/", "notes.txt"}), names(dlg));
  EXPECT_EQ(root + "/", field(dlg));
}

TEST_F(FileDialogTest, KeysEndTheDialogAndUpDownMoveTheSelectionFromTheField) {
  for (KeySym k : {XK_Escape, XK_Return}) {
    ui::WFileDialog dlg(x.dpy, false);
    Finished finished;
    dlg.setCallback(&finished);
    dlg.setItemGetter(&browser);
    showDialog(dlg);
    dlg.pathField()->takeFocus();
    dlg.pathField()->setText((root + "/notes.txt").c_str());
    press(dlg, XK_Up);
    EXPECT_EQ((std::vector<std::string>{"music"}), selected(dlg));
    EXPECT_EQ(root + "/music", field(dlg));
    press(dlg, XK_Down);
    EXPECT_EQ((std::vector<std::string>{"notes.txt"}), selected(dlg));
    press(dlg, k);
    EXPECT_EQ((std::vector<bool>{k == XK_Return}), finished.results);
    // Once done, keys are consumed.
    press(dlg, XK_Escape);
    EXPECT_EQ(1u, finished.results.size());
  }
}

// A dialog whose script starts inside its modal loop.
class ScriptedDialog : public ui::WFileDialog {
public:
  using ui::WFileDialog::WFileDialog;
  void initDialog() override {
    if (script)
      script->start();
  }
  testing_support::TxModalScript* script = nullptr;
};

TEST_F(FileDialogTest, AModalDialogReturnsItsResult) {
  ScriptedDialog dlg(x.dpy, true);
  dlg.setItemGetter(&browser);
  testing_support::TxModalScript script({
      [&] { return dlg.isMapped() && dlg.isAttached(); },
      [&] {
        dlg.pathField()->setText((root + "/docs/letter.txt").c_str());
        return true;
      },
      [&] {
        dlg.onClick(dlg.okButton());
        return true;
      },
  });
  dlg.script = &script;
  EXPECT_TRUE(dlg.show());
  EXPECT_TRUE(script.finished());
  EXPECT_STREQ((root + "/docs/letter.txt").c_str(), dlg.getResolvedPath().c_str());
}

// Real keys from the X server, through the modal loop: the typed path is
// completed and Return takes it.
TEST_F(FileDialogTest, TypedKeysCompleteAPathAndReturnEndsTheModalDialog) {
  ScriptedDialog dlg(x.dpy, true);
  dlg.setItemGetter(&browser);
  int px = 0, py = 0;
  pid_t client = -1;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  auto spawn = [&](const std::vector<std::string>& argv) {
    return [&, argv] {
      int out = -1;
      client = testing_support::child::spawn(argv, &out, 9);
      close(out);
      return true;
    };
  };
  auto waitClient = [&] {
    int status = 0;
    return client > 0 && waitpid(client, &status, WNOHANG) == client;
  };
  testing_support::TxModalScript run({
      [&] { return dlg.isMapped() && dlg.isAttached() && dlg.getImage() != nullptr; },
      [&] {
        XSync(x.dpy, False);
        dlg.positionOnRoot(&px, &py);
        dlg.pathField()->setText("");
        spawn({"xdotool", "mousemove", std::to_string(px + 200), std::to_string(py + 40), "type",
               "--delay", "15", root + "/docs/le"})();
        return true;
      },
      waitClient,
      // Not for ever: a failed completion is reported below.
      [&] {
        return field(dlg) == root + "/docs/letter.txt" ||
               std::chrono::steady_clock::now() > deadline;
      },
      spawn({"xdotool", "key", "Return"}),
  });
  dlg.script = &run;
  EXPECT_TRUE(dlg.show());
  EXPECT_TRUE(run.finished());
  int status = 0;
  waitpid(client, &status, 0);
  EXPECT_EQ(root + "/docs/letter.txt", field(dlg));
  EXPECT_EQ((std::vector<std::string>{"letter.txt"}), selected(dlg));
  EXPECT_STREQ((root + "/docs/letter.txt").c_str(), dlg.getResolvedPath().c_str());
}

// A browser handed over while the dialog is up opens in its own folder
// (cut at the last "/", the path used to open the folder above it).
TEST_F(FileDialogTest, ABrowserHandedOverWhileShownOpensItsOwnFolder) {
  ui::WFileDialog dlg(x.dpy, false);
  ui::DirBrowser other;
  other.setPath((root + "/docs").c_str());
  dlg.setItemGetter(&browser);
  showDialog(dlg);
  dlg.pathField()->setText((root + "/notes").c_str());
  dlg.setItemGetter(&other);
  EXPECT_EQ(root + "/docs", other.getPath());
  EXPECT_EQ(root + "/docs/", field(dlg));
  EXPECT_EQ((std::vector<std::string>{"../", "letter.txt", "list.txt", "old/"}), names(dlg));
}

TEST_F(FileDialogTest, ASelectedItemIsScrolledIntoView) {
  for (int i = 0; i < 40; i++)
    writeFile(root + "/docs/report-" + std::to_string(2000 + i) + ".pdf", "r");
  ui::WFileDialog dlg(x.dpy, false);
  browser.setPath((root + "/docs").c_str());
  dlg.setItemGetter(&browser);
  showDialog(dlg);
  WFileList* list = dlg.fileList();
  wvw::WScrollView* view = dlg.scrollView();
  ASSERT_GT(list->width(), view->width());
  EXPECT_TRUE(view->getHBar()->isVisible());
  EXPECT_EQ(view->height() - 16, list->height()) << "room for the scroll bar";
  list->takeFocus();
  press(dlg, XK_End);
  const WFileList::Item* last = list->item(list->numItems() - 1);
  EXPECT_EQ(last->rect.br.x + 4, view->getVisibleRect().br.x);
  press(dlg, XK_Home);
  EXPECT_EQ(0, view->getVisibleRect().tl.x);
  press(dlg, XK_End);
  // Listing again starts at the left.
  dlg.hiddenCheckBox()->getCheckBox()->setChecked(true);
  EXPECT_EQ(0, view->getVisibleRect().tl.x);
}

TEST_F(FileDialogTest, Screenshot) {
  for (int i = 0; i < 14; i++)
    writeFile(root + "/docs/report-" + std::to_string(2010 + i) + ".pdf", "r");
  ui::WFileDialog dlg(x.dpy, false);
  dlg.setTitle("Send files");
  dlg.setPrompt("Select files to send:");
  dlg.setMode(true);
  browser.setPath((root + "/docs").c_str());
  dlg.setItemGetter(&browser);
  showDialog(dlg);
  dlg.pathField()->takeFocus();
  clickItem(dlg, "list.txt");
  key(dlg, XK_Control_L, true);
  x.pumpFor(600);
  clickItem(dlg, "report-2012.pdf");
  key(dlg, XK_Control_L, false);
  EXPECT_EQ(root + "/docs/", field(dlg)) << "two files selected: the folder";
  EXPECT_EQ((std::vector<std::string>{root + "/docs/list.txt", root + "/docs/report-2012.pdf"}),
            paths(dlg));
  dlg.pathField()->takeFocus();
  x.pumpFor(100);
  std::string png = testing_support::screenshot(x, dlg.win(), "file-dialog");
  struct stat st;
  EXPECT_EQ(0, stat(png.c_str(), &st));
}
