// The connect-to-viewer dialog on a private Xvfb, driven by real clicks and
// keys: its layout, OK following the field, Return, OK and Cancel, the
// field's limit, and its window (title, fixed size, close box).
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/AddNewClientDialog.h"

#include "DialogDriver.h"
#include "TxDialogResults.h"
#include "TxModalScript.h"
#include "TxTestDisplay.h"

#include <string>
#include <vector>

using testing_support::DialogDriver;
using testing_support::TxTestDisplay;

namespace {

using Finished = testing_support::TxDialogResults;

class AddNewClientDialogTest : public ::testing::Test {
protected:
  AddNewClientDialogTest() { dialog.setCallback(&finished); }
  // Shows the dialog and gives its field the keyboard.
  void open() {
    dialog.show();
    ASSERT_TRUE(drive.waitShown());
    drive.click(dialog.addressField());
  }

  TxTestDisplay x{"1280x1024x24"};
  serverconfig::AddNewClientDialog dialog{x.dpy};
  Finished finished;
  DialogDriver drive{x, dialog};
};

} // namespace

TEST_F(AddNewClientDialogTest, LaysOutTheIconPromptFieldAndButtonsInAFixedCentredWindow) {
  wvw::WCanvas* c = dialog.content();
  EXPECT_EQ(c->getChildRect(dialog.icon()), rfb::Rect(10, 10, 58, 58));
  EXPECT_EQ(c->getChildRect(dialog.addressField()).width(), 260);
  rfb::Rect prompt = c->getChildRect(dialog.prompt());
  rfb::Point field = c->getChildPosition(dialog.addressField());
  rfb::Point ok = c->getChildPosition(dialog.okButton());
  rfb::Point cancel = c->getChildPosition(dialog.cancelButton());
  EXPECT_EQ(prompt.tl, rfb::Point(48 + 10 + 3, 10));
  EXPECT_LE(prompt.width(), 260);
  EXPECT_EQ(field, rfb::Point(48 + 10 + 3, prompt.br.y + 3));
  EXPECT_EQ(ok.x, (260 - (3 + 152)) / 2 + 48 + 10 + 3);
  EXPECT_EQ(cancel.x, ok.x + 76 + 3);
  EXPECT_EQ(ok.y, field.y + dialog.addressField()->height() + 3);
  EXPECT_EQ(cancel.y, ok.y);
  EXPECT_EQ(dialog.width(), 260 + 48 + 20 + 3);
  EXPECT_EQ(dialog.height(), ok.y + 26 + 10);
  EXPECT_FALSE(dialog.isModal());

  EXPECT_EQ(x.title(dialog.win()), "Connect to Listening Zav Viewer");
  XSizeHints hints = {};
  long supplied = 0;
  XGetWMNormalHints(x.dpy, dialog.win(), &hints, &supplied);
  EXPECT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize));
  EXPECT_EQ(hints.min_width, dialog.width());
  EXPECT_EQ(hints.max_height, dialog.height());

  dialog.show();
  ASSERT_TRUE(drive.waitShown());
  XWindowAttributes attr;
  XGetWindowAttributes(x.dpy, dialog.win(), &attr);
  EXPECT_NEAR(attr.x + attr.width / 2, 640, 12) << "centred on the screen";
  drive.click(dialog.addressField());
  drive.type("viewer.example:5500");
  drive.screenshot("connect_to_viewer");
}

TEST_F(AddNewClientDialogTest, OkFollowsTheFieldAndReturnEndsLikeOk) {
  open();
  EXPECT_FALSE(dialog.okButton()->isEnabled());
  drive.keys({"Return"});
  EXPECT_TRUE(finished.results.empty()) << "Return with an empty field does nothing";
  EXPECT_TRUE(dialog.isMapped());
  drive.type("v");
  EXPECT_TRUE(dialog.okButton()->isEnabled());
  drive.keys({"BackSpace"});
  EXPECT_FALSE(dialog.okButton()->isEnabled());
  drive.type("viewer.example:5500");
  drive.keys({"Return"});
  ASSERT_TRUE(x.pumpUntil([&] { return !finished.results.empty(); }));
  EXPECT_EQ(finished.results, std::vector<bool>{true});
  EXPECT_TRUE(dialog.getResult());
  EXPECT_TRUE(x.pumpUntil([&] { return !dialog.isMapped(); }));
  EXPECT_STREQ(dialog.addressField()->getText(), "viewer.example:5500");
}

TEST_F(AddNewClientDialogTest, OkCancelAndTheCloseBoxEndTheDialog) {
  open();
  drive.type("10.0.0.9");
  drive.click(dialog.okButton());
  ASSERT_TRUE(x.pumpUntil([&] { return finished.results.size() == 1; }));
  EXPECT_TRUE(finished.results[0]);

  // Opened again: the field keeps its text, so OK is enabled.
  dialog.show();
  ASSERT_TRUE(drive.waitShown());
  EXPECT_STREQ(dialog.addressField()->getText(), "10.0.0.9");
  EXPECT_TRUE(dialog.okButton()->isEnabled());
  drive.click(dialog.cancelButton());
  ASSERT_TRUE(x.pumpUntil([&] { return finished.results.size() == 2; }));
  EXPECT_FALSE(finished.results[1]);
  EXPECT_FALSE(dialog.getResult());

  dialog.show();
  ASSERT_TRUE(drive.waitShown());
  testing_support::sendDeleteWindow(x.dpy, dialog.win());
  ASSERT_TRUE(x.pumpUntil([&] { return finished.results.size() == 3; }));
  EXPECT_FALSE(finished.results[2]);
  EXPECT_FALSE(dialog.isMapped());
}

// The server refuses addresses over 255 bytes, so the field takes no more.
TEST_F(AddNewClientDialogTest, FieldHoldsWhatTheRequestCanCarry) {
  open();
  drive.type(std::string(300, 'h'));
  EXPECT_EQ(std::string(dialog.addressField()->getText()).size(), 255u);
}
