// The extra users' dialog on a private X display: ticks follow the files,
// "Ok" opens one password dialog or removal question at a time ("Admin"
// first), removal deletes the expanded file and a failed removal is
// reported, and closing the window closes what it opened.
// gtest comes first: the X headers' macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/ExtPasswordDialog.h"
#include "serverconfig/PasswordDialog.h"

#include "CaptureLogger.h"
#include "FileContents.h"
#include "OptionsTestWorld.h"
#include "TempDir.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using serverconfig::ExtPasswordDialog;
using serverconfig::PasswordDialog;
using testing_support::fileExists;
using testing_support::readFile;
using testing_support::writeFile;

class ExtPasswordDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    testing_support::testAppInit();
    setenv("ZAV_EXT_DIR", dir.path().c_str(), 1);
    adminPath = dir.file("admin");
    viewOnlyPath = dir.file("viewonly");
    server.adminPasswordFile.setParam("$ZAV_EXT_DIR/admin", 50);
    server.viewOnlyPasswordFile.setParam("${ZAV_EXT_DIR}/viewonly", 50);
    server.passwordFile.setParam(dir.file("passwd").c_str(), 50);
    host = std::make_unique<TXDialog>(x.dpy, 300, 200, "Options", false, true);
    host->show();
    owner = std::make_unique<PasswordDialog>(x.dpy, host.get(), "Zav Server Password",
                                             &server.passwordFile, &server.set);
    owner->setCallback(&ownerEnds);
  }
  // Opens the extra users' dialog as its owner does.
  ExtPasswordDialog* open() {
    owner->show();
    owner->extendedButton()->onClick(owner->extendedButton());
    return owner->extendedDialog();
  }
  void click(wvw::Widget* w) { w->onClick(w); }
  void tick(wvw::WLabelCheckBox* box) { click(box->getCheckBox()); }
  // Types a password into a password dialog and presses "Ok".
  void enter(PasswordDialog* d, const char* password) {
    d->passwordField()->setText(password);
    d->confirmField()->setText(password);
    click(d->okButton());
  }

  testing_support::TxTestDisplay x{"1280x1024x24"};
  testing_support::TempDir dir;
  testing_support::ServerParameters server;
  testing_support::RecordingFinish ownerEnds;
  std::string adminPath, viewOnlyPath;
  std::unique_ptr<TXDialog> host;
  std::unique_ptr<PasswordDialog> owner;
};

TEST_F(ExtPasswordDialogTest, TicksFollowTheFilesAndButtonsFollowTheTicks) {
  writeFile(viewOnlyPath, "12345678");
  testing_support::ScopedCapture capture("ExtendedAuth", 100);
  writeFile(adminPath, "");
  ExtPasswordDialog* ext = open();
  ASSERT_NE(ext, nullptr);
  EXPECT_FALSE(ext->adminBox()->getCheckBox()->isChecked());
  EXPECT_TRUE(ext->viewOnlyBox()->getCheckBox()->isChecked());
  EXPECT_TRUE(capture.logger.contains("Unable to read password for AdminPasswordFile"));
  EXPECT_FALSE(ext->adminButton()->isEnabled());
  EXPECT_TRUE(ext->viewOnlyButton()->isEnabled());
  tick(ext->adminBox());
  EXPECT_TRUE(ext->adminButton()->isEnabled());
  tick(ext->viewOnlyBox());
  EXPECT_FALSE(ext->viewOnlyButton()->isEnabled());
  // Nothing touched the files.
  EXPECT_EQ(readFile(adminPath), "");
  EXPECT_EQ(readFile(viewOnlyPath), "12345678");
  EXPECT_TRUE(ext->isMapped());

  // Layout: boxes at the left, "Set Password..." beside, "Ok" and "Cancel".
  wvw::WCanvas* c = ext->content();
  int o = (25 - ext->adminBox()->height()) / 2;
  int vw = ext->viewOnlyBox()->width();
  EXPECT_EQ(c->getChildPosition(ext->adminBox()), rfb::Point(3, 3 + o));
  EXPECT_EQ(c->getChildPosition(ext->viewOnlyBox()), rfb::Point(3, 3 + 25 + 3 + o));
  // 120 wide, or as wide as the text needs.
  int sw, sh;
  ext->adminButton()->getPreferredSize(&sw, &sh);
  sw = std::max(sw, 120);
  EXPECT_EQ(c->getChildRect(ext->adminButton()), rfb::Rect::at(rfb::Point(vw + 6, 3), sw, 25));
  EXPECT_EQ(c->getChildRect(ext->viewOnlyButton()), rfb::Rect::at(rfb::Point(vw + 6, 31), sw, 25));
  int W = 9 + vw + sw;
  EXPECT_EQ(c->getChildRect(ext->okButton()), rfb::Rect::at(rfb::Point(W - 166, 59), 80, 25));
  EXPECT_EQ(c->getChildRect(ext->cancelButton()), rfb::Rect::at(rfb::Point(W - 83, 59), 80, 25));
  EXPECT_EQ(ext->width(), W);
  EXPECT_EQ(ext->height(), 87);
  ASSERT_TRUE(x.pumpUntil([&] { return ext->getImage() != nullptr; }));
  x.pumpFor(100);
  testing_support::screenshot(x, ext->win(), "ext-password-dialog");
}

TEST_F(ExtPasswordDialogTest, OkWithNothingChangedEndsItAndItsOwnerWithTrue) {
  ExtPasswordDialog* ext = open();
  click(ext->okButton());
  EXPECT_FALSE(ext->isMapped());
  EXPECT_FALSE(owner->isMapped());
  ASSERT_EQ(ownerEnds.ends.size(), 1u);
  EXPECT_TRUE(ownerEnds.ends[0].second);
  EXPECT_FALSE(fileExists(adminPath));
  EXPECT_FALSE(fileExists(viewOnlyPath));
}

TEST_F(ExtPasswordDialogTest, NewlyTickedUsersGetTheirPasswordDialogsOneAfterTheOther) {
  ExtPasswordDialog* ext = open();
  tick(ext->adminBox());
  tick(ext->viewOnlyBox());
  click(ext->okButton());
  PasswordDialog* admin = ext->passwordDialog();
  ASSERT_NE(admin, nullptr);
  EXPECT_TRUE(admin->isMapped());
  EXPECT_EQ(admin->extendedButton(), nullptr);
  EXPECT_TRUE(ext->isPending());
  EXPECT_FALSE(ext->isMapped());
  // The owner ended but stays without input while the password dialog is up.
  ASSERT_EQ(ownerEnds.ends.size(), 1u);
  EXPECT_TRUE(owner->isInputDisabled());
  XSync(x.dpy, False);
  char* name = nullptr;
  XFetchName(x.dpy, admin->win(), &name);
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name, "Zav \"Admin\" Password");
  XFree(name);
  Window transient = 0;
  XGetTransientForHint(x.dpy, admin->win(), &transient);
  EXPECT_EQ(transient, owner->win());

  enter(admin, "adminpass");
  EXPECT_EQ(readFile(adminPath).size(), 16u);
  PasswordDialog* viewOnly = ext->passwordDialog();
  ASSERT_NE(viewOnly, admin);
  EXPECT_TRUE(viewOnly->isMapped());
  XFetchName(x.dpy, viewOnly->win(), &name);
  EXPECT_STREQ(name, "Zav \"ViewOnly\" Password");
  XFree(name);
  EXPECT_FALSE(fileExists(viewOnlyPath));
  enter(viewOnly, "viewpass");
  EXPECT_EQ(readFile(viewOnlyPath).size(), 8u);
  EXPECT_FALSE(ext->isPending());
  EXPECT_FALSE(owner->isInputDisabled());
  EXPECT_EQ(ownerEnds.ends.size(), 1u);
}

TEST_F(ExtPasswordDialogTest, UntickingAUserWithAFileAsksAndRemovesTheExpandedFile) {
  writeFile(adminPath, "12345678");
  ExtPasswordDialog* ext = open();
  ASSERT_TRUE(ext->adminBox()->getCheckBox()->isChecked());
  tick(ext->adminBox());
  click(ext->okButton());
  TXMsgBox* question = ext->questionBox();
  ASSERT_TRUE(question->isMapped());
  EXPECT_STREQ(question->label()->getText(),
               "Disabling the \"Admin\" user requires the password file to be deleted\n"
               "Do you wish to remove the password?");
  EXPECT_TRUE(ext->isInputDisabled());
  click(question->button(0));
  EXPECT_FALSE(fileExists(adminPath));
  EXPECT_FALSE(ext->isInputDisabled());
}

TEST_F(ExtPasswordDialogTest, NoKeepsTheFileButTheViewOnlyStepStillRuns) {
  writeFile(adminPath, "12345678");
  ExtPasswordDialog* ext = open();
  tick(ext->adminBox());
  tick(ext->viewOnlyBox());
  click(ext->okButton());
  ASSERT_TRUE(ext->questionBox()->isMapped());
  EXPECT_TRUE(ext->isPending());
  click(ext->questionBox()->button(1));
  EXPECT_TRUE(fileExists(adminPath));
  ASSERT_NE(ext->passwordDialog(), nullptr);
  EXPECT_TRUE(ext->passwordDialog()->isMapped());
  EXPECT_FALSE(ext->isPending());
}

TEST_F(ExtPasswordDialogTest, AFailedRemovalIsReported) {
  writeFile(adminPath, "12345678");
  ExtPasswordDialog* ext = open();
  tick(ext->adminBox());
  click(ext->okButton());
  ASSERT_TRUE(ext->questionBox()->isMapped());
  // By the time the user answers, the file has become a directory.
  unlink(adminPath.c_str());
  mkdir(adminPath.c_str(), 0700);
  writeFile(adminPath + "/x", "");
  click(ext->questionBox()->button(0));
  ASSERT_TRUE(ext->errorBox()->isMapped());
  EXPECT_STREQ(ext->errorBox()->label()->getText(),
               "Removing password file failed: Is a directory (21)");
  EXPECT_TRUE(ext->isInputDisabled());
  click(ext->errorBox()->button(0));
  EXPECT_FALSE(ext->isInputDisabled());
}

TEST_F(ExtPasswordDialogTest, ABadFileNameIsShownAndCountsAsNoFile) {
  unsetenv("ZAV_NOT_SET");
  server.adminPasswordFile.setParam("$ZAV_NOT_SET/admin", 50);
  ExtPasswordDialog* ext = open();
  EXPECT_FALSE(ext->adminBox()->getCheckBox()->isChecked());
  ASSERT_TRUE(ext->errorBox()->isMapped());
  EXPECT_EQ(
      std::string(ext->errorBox()->label()->getText()).rfind("unknown environment variable", 0),
      0u);
}

TEST_F(ExtPasswordDialogTest, SetPasswordOpensADialogAndClosingTheOwnerClosesEverything) {
  ExtPasswordDialog* ext = open();
  tick(ext->viewOnlyBox());
  click(ext->viewOnlyButton());
  PasswordDialog* viewOnly = ext->passwordDialog();
  ASSERT_NE(viewOnly, nullptr);
  EXPECT_TRUE(viewOnly->isMapped());
  EXPECT_TRUE(ext->isMapped());
  EXPECT_TRUE(ext->isInputDisabled());
  // Its end gives the dialog back its input; this dialog goes on.
  click(viewOnly->cancelButton());
  EXPECT_FALSE(ext->isInputDisabled());
  EXPECT_TRUE(ext->isMapped());
  click(ext->viewOnlyButton());
  ASSERT_TRUE(ext->passwordDialog()->isMapped());
  owner->deleteWindow(owner.get());
  EXPECT_EQ(owner->extendedDialog(), nullptr);
  EXPECT_FALSE(owner->isMapped());
  ASSERT_EQ(ownerEnds.ends.size(), 1u);
  EXPECT_FALSE(ownerEnds.ends[0].second);
}

} // namespace
