// The password dialog on a private X display: "Ok" follows the two fields,
// mismatches and short passwords are reported, the file holds exactly the
// obfuscated password (checked against OpenSSL), privately, and every
// failure to store it is shown in the error box and ends the dialog with
// false, leaving the old file as it was.
// gtest comes first: the X headers' macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/ExtPasswordDialog.h"
#include "serverconfig/PasswordDialog.h"

#include "FileContents.h"
#include "FileSizeLimit.h"
#include "OpenSslDes.h"
#include "OptionsTestWorld.h"
#include "TempDir.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using serverconfig::PasswordDialog;
using testing_support::fileExists;
using testing_support::fileMode;
using testing_support::obfuscatedPasswordFileText;
using testing_support::readFile;

class PasswordDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    testing_support::testAppInit();
    path = dir.file("passwd");
    server.passwordFile.setParam(path.c_str(), 50);
    owner = std::make_unique<TXDialog>(x.dpy, 300, 200, "Options", false, true);
    owner->show();
  }
  std::unique_ptr<PasswordDialog> make(bool withSet = false) {
    auto d =
        std::make_unique<PasswordDialog>(x.dpy, owner.get(), "Zav Server Password",
                                         &server.passwordFile, withSet ? &server.set : nullptr);
    d->setCallback(&finished);
    return d;
  }
  void type(PasswordDialog& d, const char* password, const char* confirm) {
    d.passwordField()->setText(password);
    d.confirmField()->setText(confirm);
  }
  void clickOk(PasswordDialog& d) { d.okButton()->onClick(d.okButton()); }

  testing_support::TxTestDisplay x{"1280x1024x24"};
  testing_support::TempDir dir;
  testing_support::ServerParameters server;
  testing_support::RecordingFinish finished;
  std::string path;
  std::unique_ptr<TXDialog> owner;
};

TEST_F(PasswordDialogTest, LaysOutTwoRowsAndTheButtonsAtTheRight) {
  auto d = make();
  EXPECT_EQ(d->extendedButton(), nullptr);
  wvw::WCanvas* c = d->content();
  int l1, h1, l2, h2, unused, h;
  d->passwordLabel()->getPreferredSize(&l1, &h1);
  d->confirmLabel()->getPreferredSize(&l2, &h2);
  d->passwordField()->getPreferredSize(&unused, &h);
  int L = std::max(l1, l2), W = 9 + L + 200;
  EXPECT_EQ(c->getChildRect(d->passwordLabel()),
            rfb::Rect::at(rfb::Point(3, 3 + (h - h1) / 2), L, h1));
  EXPECT_EQ(c->getChildRect(d->passwordField()), rfb::Rect::at(rfb::Point(L + 6, 3), 200, h));
  int y2 = 3 + std::max(h1, h) + 3;
  EXPECT_EQ(c->getChildRect(d->confirmField()), rfb::Rect::at(rfb::Point(L + 6, y2), 200, h));
  int y3 = y2 + std::max(h2, h) + 3;
  EXPECT_EQ(c->getChildRect(d->okButton()), rfb::Rect::at(rfb::Point(W - 126, y3), 60, 25));
  EXPECT_EQ(c->getChildRect(d->cancelButton()), rfb::Rect::at(rfb::Point(W - 63, y3), 60, 25));
  EXPECT_EQ(d->width(), W);
  EXPECT_EQ(d->height(), y3 + 25 + 3);
  EXPECT_TRUE(d->passwordField()->isPasswordMode());
  EXPECT_EQ(d->passwordField()->getMaxLength(), 255u);
  EXPECT_FALSE(d->isMapped());

  auto withSet = make(true);
  ASSERT_NE(withSet->extendedButton(), nullptr);
  // 160 wide, or as wide as its text needs.
  int ew, eh;
  withSet->extendedButton()->getPreferredSize(&ew, &eh);
  EXPECT_EQ(withSet->content()->getChildRect(withSet->extendedButton()),
            rfb::Rect::at(rfb::Point(3, y3), std::max(160, ew), 25));
  EXPECT_LT(3 + std::max(160, ew), W - 126);
  withSet->show();
  type(*withSet, "secret", "secr");
  ASSERT_TRUE(x.pumpUntil([&] { return withSet->getImage() != nullptr; }));
  x.pumpFor(100);
  testing_support::screenshot(x, withSet->win(), "password-dialog");
}

TEST_F(PasswordDialogTest, OkIsEnabledExactlyWhenBothFieldsHoldText) {
  auto d = make();
  d->show();
  EXPECT_FALSE(d->okButton()->isEnabled());
  d->passwordField()->setText("a");
  EXPECT_FALSE(d->okButton()->isEnabled());
  d->confirmField()->setText("b");
  EXPECT_TRUE(d->okButton()->isEnabled());
  d->passwordField()->setText("");
  EXPECT_FALSE(d->okButton()->isEnabled());
  d->passwordField()->setText(std::string(300, 'x').c_str());
  EXPECT_EQ(strlen(d->passwordField()->getText()), 255u);
  // Shown again with its old text, the dialog enables "Ok" at once.
  d->unmap();
  d->show();
  EXPECT_TRUE(d->okButton()->isEnabled());
}

TEST_F(PasswordDialogTest, StoresExactlyTheOracleBytesPrivately) {
  for (std::string text : {"secret", "ninechars", "p\xc3\xa4sswort"}) {
    SCOPED_TRACE(text);
    auto d = make();
    d->show();
    type(*d, text.c_str(), text.c_str());
    mode_t old = umask(022);
    clickOk(*d);
    umask(old);
    ASSERT_EQ(finished.ends.size(), 1u);
    EXPECT_EQ(finished.ends[0], std::make_pair(static_cast<TXDialog*>(d.get()), true));
    EXPECT_FALSE(d->isMapped());
    EXPECT_FALSE(d->errorBox()->isMapped());
    EXPECT_EQ(readFile(path), obfuscatedPasswordFileText(text));
    EXPECT_EQ(fileMode(path), 0600);
    finished.ends.clear();
  }
  EXPECT_EQ(obfuscatedPasswordFileText("secret").size(), 8u);
  EXPECT_EQ(obfuscatedPasswordFileText("ninechars").size(), 16u);
  EXPECT_EQ(obfuscatedPasswordFileText("p\xc3\xa4sswort").size(), 20u);
}

TEST_F(PasswordDialogTest, DifferentTextsAreReportedAndNothingIsWritten) {
  auto d = make();
  d->show();
  type(*d, "secret1", "secret2");
  clickOk(*d);
  EXPECT_TRUE(d->warningBox()->isMapped());
  EXPECT_STREQ(d->warningBox()->label()->getText(), "The supplied passwords do not match");
  EXPECT_TRUE(d->isInputDisabled());
  EXPECT_TRUE(d->isMapped());
  EXPECT_FALSE(fileExists(path));
  d->warningBox()->onClick(d->warningBox()->button(0));
  EXPECT_FALSE(d->isInputDisabled());
  EXPECT_TRUE(d->isMapped());
  EXPECT_TRUE(finished.ends.empty());
}

TEST_F(PasswordDialogTest, AShortPasswordIsAskedAbout) {
  auto d = make();
  d->show();
  type(*d, "abcde", "abcde");
  clickOk(*d);
  TXMsgBox* question = d->questionBox();
  ASSERT_TRUE(question->isMapped());
  EXPECT_EQ(std::string(question->label()->getText())
                .rfind("The supplied password does not meet "
                       "minimum complexity recommendations.",
                       0),
            0u);
  EXPECT_EQ(question->numButtons(), 2);
  EXPECT_TRUE(d->isInputDisabled());
  // "No": the dialog stays with both texts.
  question->onClick(question->button(1));
  EXPECT_FALSE(d->isInputDisabled());
  EXPECT_TRUE(d->isMapped());
  EXPECT_STREQ(d->confirmField()->getText(), "abcde");
  EXPECT_FALSE(fileExists(path));
  EXPECT_TRUE(finished.ends.empty());
  // "Yes" stores it.
  clickOk(*d);
  question->onClick(question->button(0));
  EXPECT_EQ(readFile(path), obfuscatedPasswordFileText("abcde"));
  ASSERT_EQ(finished.ends.size(), 1u);
  EXPECT_TRUE(finished.ends[0].second);
  EXPECT_FALSE(d->isMapped());
}

TEST_F(PasswordDialogTest, CancelEndsWithFalse) {
  auto d = make();
  d->show();
  d->cancelButton()->onClick(d->cancelButton());
  ASSERT_EQ(finished.ends.size(), 1u);
  EXPECT_FALSE(finished.ends[0].second);
  EXPECT_FALSE(d->isMapped());
}

// Each failure shows the error box, writes nothing and ends the dialog with
// false, so that the page does not take the password for set.
TEST_F(PasswordDialogTest, FailuresToStoreAreShownAndEndTheDialogWithFalse) {
  setenv("ZAV_TEST_HOME", dir.path().c_str(), 1);
  unsetenv("ZAV_NOT_SET");
  struct Case {
    std::string value;
    std::string message; // the start of the error text
  } cases[] = {
      {"", "Please specify a file location for the PasswordFile parameter."},
      {dir.file("missing/passwd"), "Opening password file failed: No such file or directory (2)"},
      {"$ZAV_NOT_SET/passwd", "unknown environment variable"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    server.passwordFile.setParam(c.value.c_str(), 50);
    auto d = make();
    d->show();
    type(*d, "secret", "secret");
    clickOk(*d);
    EXPECT_TRUE(d->errorBox()->isMapped());
    std::string shown = d->errorBox()->label()->getText();
    EXPECT_EQ(shown.rfind(c.message, 0), 0u) << shown;
    ASSERT_EQ(finished.ends.size(), 1u);
    EXPECT_FALSE(finished.ends[0].second);
    EXPECT_FALSE(d->isMapped());
    // Dismissing the box gives the dialog its input back.
    d->errorBox()->onClick(d->errorBox()->button(0));
    EXPECT_FALSE(d->isInputDisabled());
    finished.ends.clear();
  }
  // "$ZAV_TEST_HOME" is expanded.
  server.passwordFile.setParam("${ZAV_TEST_HOME}/expanded", 50);
  auto d = make();
  d->show();
  type(*d, "secret", "secret");
  clickOk(*d);
  EXPECT_EQ(readFile(dir.file("expanded")), obfuscatedPasswordFileText("secret"));
}

TEST_F(PasswordDialogTest, AFailedWriteLeavesTheOldFileAndIsReported) {
  auto d = make();
  d->show();
  type(*d, "oldpassword", "oldpassword");
  clickOk(*d);
  std::string before = readFile(path);
  ASSERT_EQ(before, obfuscatedPasswordFileText("oldpassword"));
  finished.ends.clear();

  d->show();
  type(*d, "newpassword", "newpassword");
  // A file size limit of 4 bytes makes the write of 16 bytes fail.
  {
    testing_support::FileSizeLimit limit(4);
    clickOk(*d);
  }
  EXPECT_TRUE(d->errorBox()->isMapped());
  EXPECT_STREQ(d->errorBox()->label()->getText(),
               "Writing password file failed: File too large (27)");
  ASSERT_EQ(finished.ends.size(), 1u);
  EXPECT_FALSE(finished.ends[0].second);
  EXPECT_EQ(readFile(path), before);
  EXPECT_EQ(fileMode(path), 0600);
}

TEST_F(PasswordDialogTest, ReturnMovesOnAndAShownAgainDialogOpensOnTheConfirmField) {
  auto d = make();
  d->show();
  ASSERT_TRUE(x.pumpUntil([&] { return d->getImage() != nullptr; }));
  d->passwordField()->setText("secret");
  d->confirmField()->setText("secret");
  d->passwordField()->takeFocus();
  d->passwordField()->onKey(0xFF0D, false, d->passwordField());
  EXPECT_TRUE(d->confirmField()->hasFocus());
  d->confirmField()->onKey(0xFF0D, false, d->confirmField());
  EXPECT_TRUE(d->okButton()->hasFocus());
  d->unmap();
  d->show();
  EXPECT_TRUE(d->confirmField()->hasFocus());
}

TEST_F(PasswordDialogTest, TypedPasswordsAreStoredThroughRealInput) {
  auto d = make();
  d->show();
  ASSERT_TRUE(x.pumpUntil([&] { return d->getImage() != nullptr; }));
  x.pumpFor(50);
  XSync(x.dpy, False);
  int px = 0, py = 0;
  d->positionOnRoot(&px, &py);
  auto centre = [&](wvw::Widget* w) {
    rfb::Rect r = d->content()->getChildRect(w);
    return std::vector<std::string>{std::to_string(px + (r.tl.x + r.br.x) / 2),
                                    std::to_string(py + (r.tl.y + r.br.y) / 2)};
  };
  for (wvw::WText* field : {d->passwordField(), d->confirmField()}) {
    auto at = centre(field);
    x.run({"xdotool", "mousemove", at[0], at[1], "click", "1"});
    x.run({"xdotool", "type", "--delay", "20", "typed-pw"});
  }
  // The field's tooltip, shown where the pointer rests, may cover "Ok":
  // leaving the window hides it.
  x.run({"xdotool", "mousemove", "0", "0"});
  ASSERT_TRUE(x.pumpUntil([&] { return d->okButton()->isEnabled(); }));
  auto at = centre(d->okButton());
  x.run({"xdotool", "mousemove", at[0], at[1], "click", "1"});
  ASSERT_TRUE(x.pumpUntil([&] { return !finished.ends.empty(); }))
      << d->passwordField()->getText() << "|" << d->confirmField()->getText() << "|"
      << d->warningBox()->isMapped() << d->questionBox()->isMapped();
  EXPECT_TRUE(finished.ends[0].second);
  EXPECT_EQ(readFile(path), obfuscatedPasswordFileText("typed-pw"));
}

TEST_F(PasswordDialogTest, ExtendedConfigurationOpensTheUsersDialogAndItsEndEndsThisOne) {
  auto d = make(true);
  d->show();
  d->extendedButton()->onClick(d->extendedButton());
  serverconfig::ExtPasswordDialog* ext = d->extendedDialog();
  ASSERT_NE(ext, nullptr);
  EXPECT_TRUE(ext->isMapped());
  EXPECT_TRUE(d->isInputDisabled());
  EXPECT_TRUE(d->isMapped());
  ext->okButton()->onClick(ext->okButton());
  EXPECT_FALSE(ext->isMapped());
  EXPECT_FALSE(d->isMapped());
  EXPECT_FALSE(d->isInputDisabled());
  ASSERT_EQ(finished.ends.size(), 1u);
  EXPECT_TRUE(finished.ends[0].second);
  // The same dialog again, now closed by the window manager: both end.
  finished.ends.clear();
  d->show();
  d->extendedButton()->onClick(d->extendedButton());
  EXPECT_EQ(d->extendedDialog(), ext);
  d->deleteWindow(d.get());
  EXPECT_EQ(d->extendedDialog(), nullptr);
  ASSERT_EQ(finished.ends.size(), 1u);
  EXPECT_FALSE(finished.ends[0].second);
  EXPECT_FALSE(d->isMapped());
}

} // namespace
