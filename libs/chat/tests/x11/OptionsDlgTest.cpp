// The chat options dialog on a private Xvfb: what it shows, its layout, the
// enabling of the expiry controls, which settings OK writes into the chat
// configuration file, Cancel and the window manager's close, and a file that
// cannot be written.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "chat/OptionsDlg.h"

#include "FileContents.h"
#include "TempDir.h"
#include "TxDialogResults.h"
#include "TxModalScript.h"
#include "TxTestDisplay.h"
#include "chat/ChatOptions.h"
#include "plat/ConfigurationFile.h"

#include <string>
#include <vector>

using testing_support::fileMode;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::TxTestDisplay;
using testing_support::writeFile;

namespace {

using Finished = testing_support::TxDialogResults;

class OptionsDlgTest : public ::testing::Test {
protected:
  OptionsDlgTest() {
    testing_support::testAppInit();
    dlg.setCallback(&finished);
  }
  bool shown(TXDialog& d) {
    return x.pumpUntil([&] { return d.isMapped() && d.getImage() != nullptr; });
  }
  void open() {
    dlg.show();
    ASSERT_TRUE(shown(dlg));
  }
  std::string path() const { return dir.file("home/.zav/config.d/chat"); }
  plat::ConfigurationFile::Map entries() {
    plat::ConfigurationFile::Map m;
    plat::ConfigurationFile::readMap(path().c_str(), m);
    return m;
  }
  void chooseUnit(OptionsDlg::Unit unit) { dlg.unitChoice()->setSelectedId(unit); }
  void typeNumber(const char* text) { dlg.numberField()->getTextField()->setText(text); }
  bool checked() { return dlg.keepHistoryBox()->getCheckBox()->isChecked(); }

  TxTestDisplay x{"1280x1024x24"};
  TempDir dir;
  ChatOptions options;
  OptionsDlg dlg{x.dpy, &options, nullptr, path().c_str()};
  Finished finished;
};

TEST_F(OptionsDlgTest, DefaultsShowDaysAndNinetyTickedInTheirPlaces) {
  open();
  EXPECT_TRUE(checked());
  EXPECT_STREQ(dlg.unitChoice()->getText(), "Days");
  EXPECT_EQ(dlg.numberField()->getValue(), 90);
  EXPECT_STREQ(dlg.numberField()->getTextField()->getText(), "90");
  EXPECT_TRUE(dlg.numberField()->isEnabled());
  EXPECT_EQ(dlg.numberField()->getMinimum(), 1);
  EXPECT_EQ(dlg.numberField()->getMaximum(), 2147483647);

  // Spacing 3: the panel at (6, 6), the buttons under it, centred as the
  // dialog's width gives.
  wvw::WLayout* inner = dlg.panel()->getContent();
  int tw, th;
  dlg.keepHistoryBox()->getPreferredSize(&tw, &th);
  EXPECT_EQ(inner->getChildRect(dlg.keepHistoryBox()).tl, rfb::Point(6, 3));
  rfb::Rect label = inner->getChildRect(dlg.keepLastLabel());
  EXPECT_EQ(label.tl, rfb::Point(6, 9 + th));
  rfb::Rect number = inner->getChildRect(dlg.numberField());
  EXPECT_EQ(number.tl, rfb::Point(12 + label.width(), 9 + th));
  EXPECT_EQ(number.width(), 100);
  EXPECT_EQ(inner->getChildRect(dlg.unitChoice()).tl.x, 18 + label.width() + 100);
  int pw, ph;
  dlg.panel()->getPreferredSize(&pw, &ph);
  int L = 6 + pw;
  EXPECT_EQ(dlg.content()->width(), L + 6);
  EXPECT_EQ(dlg.content()->height(), 18 + ph + 26);
  wvw::WLayout* layout = static_cast<wvw::WLayout*>(dlg.content()->childAt(0));
  EXPECT_EQ(layout->getChildRect(dlg.okButton()),
            rfb::Rect::at(rfb::Point((L + 12) / 2 - 76 - 3, 12 + ph), 76, 26));
  EXPECT_EQ(layout->getChildRect(dlg.cancelButton()),
            rfb::Rect::at(rfb::Point((L + 12) / 2 + 3, 12 + ph), 76, 26));
  x.pumpFor(50);
  testing_support::screenshot(x, dlg.win(), "chat-options");
}

TEST_F(OptionsDlgTest, OkWritesOnlyWhatChangedAndPutsItIntoEffect) {
  open();
  chooseUnit(OptionsDlg::Messages);
  typeNumber("50");
  dlg.onClick(dlg.okButton());
  EXPECT_EQ(finished.results, std::vector<bool>{true});
  EXPECT_FALSE(dlg.isMapped());
  plat::ConfigurationFile::Map m = entries();
  ASSERT_EQ(m.size(), 2u) << readFile(path());
  EXPECT_EQ(*m["ExpiryMessages"], "50");
  EXPECT_EQ(*m["ExpiryDays"], "0");
  EXPECT_EQ(options.expiryMessages, 50);
  EXPECT_EQ(options.expiryDays, 0);
  EXPECT_EQ(fileMode(dir.file("home/.zav/config.d")), 0700);

  // Shown again it shows the new settings; OK without a change leaves the
  // file as it is.
  writeFile(path(), readFile(path()) + "Other=kept\n");
  std::string before = readFile(path());
  open();
  EXPECT_STREQ(dlg.unitChoice()->getText(), "Messages");
  EXPECT_EQ(dlg.numberField()->getValue(), 50);
  dlg.onClick(dlg.okButton());
  EXPECT_EQ(readFile(path()), before);
}

TEST_F(OptionsDlgTest, NoLimitAtAllIsNotTurnedIntoOneLine) {
  // Neither limit set: the number field cannot show 0, and opening and
  // confirming must not invent a limit.
  options.expiryDays.setValue(0, 50);
  OptionsDlg fresh(x.dpy, &options, nullptr, path().c_str());
  fresh.show();
  ASSERT_TRUE(shown(fresh));
  EXPECT_STREQ(fresh.unitChoice()->getText(), "Messages");
  fresh.onClick(fresh.okButton());
  EXPECT_TRUE(entries().empty()) << readFile(path());
  EXPECT_EQ(options.expiryMessages, 0);
  EXPECT_EQ(options.expiryDays, 0);
}

TEST_F(OptionsDlgTest, UntickingGreysTheExpiryAndStopsKeeping) {
  open();
  dlg.keepHistoryBox()->getCheckBox()->onClick(dlg.keepHistoryBox()->getCheckBox());
  EXPECT_FALSE(checked());
  EXPECT_FALSE(dlg.keepLastLabel()->isEnabled());
  EXPECT_FALSE(dlg.numberField()->isEnabled());
  EXPECT_FALSE(dlg.unitChoice()->isEnabled());
  x.pumpFor(50);
  testing_support::screenshot(x, dlg.win(), "chat-options-off");
  dlg.onClick(dlg.okButton());
  plat::ConfigurationFile::Map m = entries();
  ASSERT_EQ(m.size(), 1u) << readFile(path());
  EXPECT_EQ(*m["KeepHistory"], "0");
  EXPECT_FALSE(options.keepHistory);
}

TEST_F(OptionsDlgTest, CancelAndTheWindowManagersCloseForgetTheEdits) {
  for (bool byWindowManager : {false, true}) {
    SCOPED_TRACE(byWindowManager);
    finished.results.clear();
    open();
    chooseUnit(OptionsDlg::Messages);
    typeNumber("7");
    dlg.keepHistoryBox()->getCheckBox()->onClick(dlg.keepHistoryBox()->getCheckBox());
    if (byWindowManager) {
      testing_support::sendDeleteWindow(x.dpy, dlg.win());
      ASSERT_TRUE(x.pumpUntil([&] { return !finished.results.empty(); }));
    } else {
      dlg.onClick(dlg.cancelButton());
    }
    EXPECT_EQ(finished.results, std::vector<bool>{false});
    EXPECT_EQ(readFile(path()), "<missing>");
    EXPECT_EQ(options.expiryMessages, 0);
    EXPECT_TRUE(dlg.workingSet()->sameValuesAs(options));

    open();
    EXPECT_TRUE(checked());
    EXPECT_TRUE(dlg.numberField()->isEnabled());
    EXPECT_STREQ(dlg.unitChoice()->getText(), "Days");
    EXPECT_EQ(dlg.numberField()->getValue(), 90);
    dlg.onClick(dlg.cancelButton());
  }
}

TEST_F(OptionsDlgTest, AFileThatCannotBeWrittenIsShownAndTheDialogStays) {
  writeFile(dir.file("plain"), "x");
  OptionsDlg blocked(x.dpy, &options, nullptr, dir.file("plain/chat").c_str());
  blocked.setCallback(&finished);
  blocked.show();
  ASSERT_TRUE(shown(blocked));
  blocked.unitChoice()->setSelectedId(OptionsDlg::Messages);
  blocked.numberField()->getTextField()->setText("5");
  ASSERT_NO_THROW(blocked.onClick(blocked.okButton()));
  ASSERT_NE(blocked.errorBox(), nullptr);
  ASSERT_TRUE(shown(*blocked.errorBox()));
  EXPECT_NE(std::string(blocked.errorBox()->label()->getText()).find("plain"), std::string::npos)
      << blocked.errorBox()->label()->getText();
  EXPECT_NE(blocked.errorBox()->icon(), nullptr);
  EXPECT_EQ(blocked.errorBox()->numButtons(), 1);
  testing_support::screenshot(x, blocked.errorBox()->win(), "chat-options-error");
  // Still open with the edit, nothing put into effect, no end reported.
  EXPECT_TRUE(blocked.isMapped());
  EXPECT_TRUE(finished.results.empty());
  EXPECT_EQ(options.expiryMessages, 0);
  EXPECT_EQ(options.expiryDays, 90);
  EXPECT_STREQ(blocked.unitChoice()->getText(), "Messages");
  EXPECT_EQ(readFile(dir.file("plain")), "x");

  // Input waits for the box; a second failure reuses it.
  blocked.errorBox()->onClick(blocked.errorBox()->button(0));
  EXPECT_FALSE(blocked.errorBox()->isMapped());
  TXMsgBox* box = blocked.errorBox();
  blocked.onClick(blocked.okButton());
  EXPECT_EQ(blocked.errorBox(), box);
  EXPECT_TRUE(shown(*box));
  box->onClick(box->button(0));
  blocked.onClick(blocked.cancelButton());
  EXPECT_EQ(finished.results, std::vector<bool>{false});
}

} // namespace
