#include "serverconfig/AddNewClientDialog.h"

#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const uint32_t kReturn = 0xFF0D, kBackSpace = 0xFF08;

struct Fixture {
  serverconfig::AddNewClientDialog dialog;
  testing_support::WidgetTestHost host;
  int finished = 0;
  bool lastResult = false;
  Fixture() {
    dialog.onFinished = [this](bool r) {
      finished++;
      lastResult = r;
    };
    host.attach(dialog.content());
    host.focusIn();
  }
  void typeText(const std::string& text) {
    for (char c : text)
      host.type(static_cast<unsigned char>(c));
  }
  void click(wvw::Widget* w) {
    rfb::Point p = dialog.content()->getChildPosition(w);
    host.pointer(p.x + 5, p.y + 5, 1);
    host.pointer(p.x + 5, p.y + 5, 0);
  }
};

TEST(AddNewClientDialog, LaysOutTheIconPromptFieldAndButtons) {
  Fixture f;
  wvw::WCanvas* c = f.dialog.content();
  EXPECT_EQ(c->getChildRect(f.dialog.addressField()).width(), 260);
  rfb::Point field = c->getChildPosition(f.dialog.addressField());
  rfb::Point ok = c->getChildPosition(f.dialog.okButton());
  rfb::Point cancel = c->getChildPosition(f.dialog.cancelButton());
  EXPECT_EQ(field.x, 48 + 10 + 3);
  EXPECT_EQ(ok.x, (260 - (3 + 152)) / 2 + 48 + 10 + 3);
  EXPECT_EQ(cancel.x, ok.x + 76 + 3);
  EXPECT_EQ(ok.y, field.y + f.dialog.addressField()->height() + 3);
  EXPECT_EQ(c->width(), 260 + 48 + 20 + 3);
  EXPECT_EQ(c->height(), ok.y + 26 + 10);
}

TEST(AddNewClientDialog, OkFollowsTheFieldAndReturnEndsLikeOk) {
  Fixture f;
  EXPECT_FALSE(f.dialog.okButton()->isEnabled());
  f.host.type(kReturn);
  EXPECT_EQ(f.finished, 0) << "Return with an empty field does nothing";
  f.typeText("v");
  EXPECT_TRUE(f.dialog.okButton()->isEnabled());
  f.host.type(kBackSpace);
  EXPECT_FALSE(f.dialog.okButton()->isEnabled());
  f.typeText("viewer.example:5500");
  f.host.type(kReturn);
  EXPECT_EQ(f.finished, 1);
  EXPECT_TRUE(f.lastResult);
  EXPECT_TRUE(f.dialog.isDone());
  EXPECT_STREQ(f.dialog.addressField()->getText(), "viewer.example:5500");
}

TEST(AddNewClientDialog, OkAndCancelButtons) {
  Fixture f;
  f.typeText("10.0.0.9");
  f.click(f.dialog.okButton());
  EXPECT_EQ(f.finished, 1);
  EXPECT_TRUE(f.lastResult);
  f.dialog.reopen();
  EXPECT_STREQ(f.dialog.addressField()->getText(), "10.0.0.9") << "the field keeps its text";
  EXPECT_TRUE(f.dialog.okButton()->isEnabled());
  f.click(f.dialog.cancelButton());
  EXPECT_EQ(f.finished, 2);
  EXPECT_FALSE(f.lastResult);
}

// The server refuses addresses over 255 bytes, so the field takes no more.
TEST(AddNewClientDialog, FieldHoldsWhatTheRequestCanCarry) {
  Fixture f;
  f.typeText(std::string(300, 'h'));
  EXPECT_EQ(std::string(f.dialog.addressField()->getText()).size(), 255u);
}

} // namespace
