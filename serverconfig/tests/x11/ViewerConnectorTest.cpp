// The status window's connect-to-viewer action on a private Xvfb: the
// address goes to the status callback on OK, a refusal is shown in an error
// box, and the owner window takes no input while the dialog or the box is
// open.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/ViewerConnector.h"
#include "serverconfig/tests/FakeStatusCallback.h"

#include "DialogDriver.h"
#include "TxModalScript.h"
#include "TxTestDisplay.h"
#include "plat/Exception.h"
#include "tx/TXWParent.h"
#include "wvw/WCanvas.h"

#include <string>
#include <vector>

using testing_support::DialogDriver;
using testing_support::TxTestDisplay;

namespace {

// Records the addresses it is asked to connect to, or refuses them.
struct FakeStatus : testing_support::FakeStatusCallback {
  void connectToViewer(const char* address) override {
    addresses.push_back(address);
    if (refuse)
      throw plat::ExceptionFmt("Failed to connect to %s", address);
  }
  std::vector<std::string> addresses;
  bool refuse = false;
};

// The status window: one button that counts its clicks.
struct Owner : wvw::WInputHandler {
  explicit Owner(Display* dpy) : button("About..."), window(dpy, &content) {
    button.setSize(100, 30);
    content.addChildAt(&button, rfb::Point(10, 10));
    content.setInputHandler(this);
    window.setContentSize(200, 60);
    XMoveWindow(dpy, window.win(), 20, 20);
    window.map();
  }
  ~Owner() override {
    content.setInputHandler(nullptr);
    content.removeChild(&button);
  }
  bool onClick(wvw::Widget* source) override {
    clicks += source == &button;
    return false;
  }
  wvw::WCanvas content;
  wvw::WLabelButton button;
  TXWParent window;
  int clicks = 0;
};

class ViewerConnectorTest : public ::testing::Test {
protected:
  void SetUp() override {
    testing_support::testAppInit();
    ASSERT_TRUE(x.pumpUntil([&] { return owner.window.getImage() != nullptr; }));
  }
  // Clicks the owner's button; true when the owner took it.
  bool ownerTakesClicks() {
    int before = owner.clicks;
    x.run({"xdotool", "mousemove", "60", "45", "click", "1"});
    x.pumpFor(50);
    return owner.clicks > before;
  }
  serverconfig::AddNewClientDialog& open() {
    connector.openAddClientDialog();
    serverconfig::AddNewClientDialog& dialog = *connector.dialog();
    EXPECT_TRUE(x.pumpUntil([&] { return dialog.getImage() != nullptr; }));
    return dialog;
  }

  TxTestDisplay x{"1280x1024x24"};
  FakeStatus status;
  Owner owner{x.dpy};
  serverconfig::ViewerConnector connector{x.dpy, &owner.window, &status};
};

} // namespace

TEST_F(ViewerConnectorTest, OkHandsTheAddressOnAndCancelDoesNot) {
  EXPECT_EQ(connector.dialog(), nullptr) << "built on first use";
  EXPECT_TRUE(ownerTakesClicks());
  serverconfig::AddNewClientDialog& dialog = open();
  DialogDriver drive(x, dialog);
  EXPECT_FALSE(ownerTakesClicks()) << "the owner's input is off while the dialog is open";
  drive.click(dialog.addressField());
  drive.type("viewer.example");
  drive.click(dialog.okButton());
  EXPECT_EQ(status.addresses, std::vector<std::string>{"viewer.example"});
  EXPECT_TRUE(ownerTakesClicks());

  EXPECT_EQ(&open(), &dialog) << "one dialog, shown again";
  drive.click(dialog.cancelButton());
  EXPECT_EQ(status.addresses.size(), 1u);
  EXPECT_TRUE(ownerTakesClicks());
  EXPECT_EQ(connector.messageBox(), nullptr);
}

TEST_F(ViewerConnectorTest, ARefusalIsShownInAnErrorBox) {
  status.refuse = true;
  serverconfig::AddNewClientDialog& dialog = open();
  DialogDriver drive(x, dialog);
  drive.click(dialog.addressField());
  drive.type("nowhere:1");
  drive.keys({"Return"});
  TXMsgBox* box = connector.messageBox();
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(x.pumpUntil([&] { return box->getImage() != nullptr; }));
  EXPECT_STREQ(box->label()->getText(), "Failed to connect to nowhere:1");
  EXPECT_NE(box->icon(), nullptr);
  ASSERT_EQ(box->numButtons(), 1);
  EXPECT_FALSE(box->isModal());
  EXPECT_FALSE(ownerTakesClicks()) << "the owner's input is off while the box is open";
  DialogDriver boxDrive(x, *box);
  boxDrive.screenshot("connect_to_viewer_refused");
  boxDrive.click(box->button(0));
  EXPECT_FALSE(box->isMapped());
  EXPECT_TRUE(ownerTakesClicks());

  // The next refusal reuses the box with its own text.
  open();
  drive.click(dialog.addressField());
  drive.keys({"End", "BackSpace"});
  drive.type("2");
  drive.click(dialog.okButton());
  EXPECT_EQ(connector.messageBox(), box);
  ASSERT_TRUE(x.pumpUntil([&] { return box->getImage() != nullptr; }));
  EXPECT_STREQ(box->label()->getText(), "Failed to connect to nowhere:2");
  EXPECT_EQ(status.addresses, (std::vector<std::string>{"nowhere:1", "nowhere:2"}));
}
