// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "tx/TXMsgBox.h"

#include "TxDialogResults.h"
#include "TxModalScript.h"
#include "TxTestDisplay.h"

#include "wvw/WLayout.h"

#include <sys/stat.h>

using testing_support::TxModalScript;
using testing_support::TxTestDisplay;

namespace {

class MsgBoxTest : public ::testing::Test {
protected:
  void SetUp() override { testing_support::testAppInit(); }
  rfb::Rect rectOf(TXMsgBox& box, wvw::Widget* w) { return box.content()->getChildRect(w); }
  // Clicks the centre of a button of a shown box.
  TxModalScript::Step clickButton(TXMsgBox& box, int i, TxModalScript& script) {
    return [&box, i, &script, this] {
      int px = 0, py = 0;
      box.positionOnRoot(&px, &py);
      rfb::Rect r = rectOf(box, box.button(i));
      script.spawn({"xdotool", "mousemove", std::to_string(px + r.tl.x + r.width() / 2),
                    std::to_string(py + r.tl.y + r.height() / 2), "click", "1"})();
      return true;
    };
  }

  TxTestDisplay x{"1280x1024x24"};
};

// A box whose script starts inside its modal loop.
class ScriptedBox : public TXMsgBox {
public:
  ScriptedBox(Display* dpy, const char* text, unsigned flags)
      : TXMsgBox(dpy, text, flags, nullptr, true) {}
  void initDialog() override {
    if (script)
      script->start();
  }
  TxModalScript* script = nullptr;
};

using Finished = testing_support::TxDialogResults;

} // namespace

TEST_F(MsgBoxTest, FlagsChooseButtonsIconAndTitle) {
  struct Case {
    unsigned flags;
    std::vector<std::string> buttons;
    bool icon;
  } cases[] = {
      {16, {"OK"}, true},        {34, {"Yes", "No"}, true}, {48, {"OK"}, true},
      {50, {"Yes", "No"}, true}, {64, {"OK"}, true},        {1, {"OK", "Cancel"}, false},
      {0x53, {}, false},         {0x87, {}, false},
  };
  for (const Case& c : cases) {
    TXMsgBox box(x.dpy, "Text", c.flags, "Caption", false);
    std::vector<std::string> labels;
    for (int i = 0; i < box.numButtons(); i++)
      labels.push_back(box.button(i)->getLabel()->getText());
    EXPECT_EQ(labels, c.buttons) << c.flags;
    EXPECT_EQ(box.icon() != nullptr, c.icon) << c.flags;
  }
  TXMsgBox box(x.dpy, "Text", 0, "Caption", false);
  EXPECT_EQ(x.title(box.win()), "Zav Server: Caption");
  TXMsgBox plain(x.dpy, "Text", 0, nullptr, false);
  EXPECT_EQ(x.title(plain.win()), "Zav Server");
}

TEST_F(MsgBoxTest, ModalResultFollowsTheButtonPressedAndIsReportedOnce) {
  struct Case {
    int button; // -1: closed through the window manager
    bool result;
  } cases[] = {{0, true}, {1, false}, {-1, false}};
  for (const Case& c : cases) {
    ScriptedBox box(x.dpy, "Do it?", 34);
    Finished finished;
    box.setCallback(&finished);
    TxModalScript script(
        {[&] { return box.getImage() != nullptr; },
         c.button >= 0 ? clickButton(box, c.button, script) : TxModalScript::Step([&] {
           testing_support::sendDeleteWindow(x.dpy, box.win());
           return true;
         })});
    box.script = &script;
    EXPECT_EQ(box.show(), c.result) << c.button;
    EXPECT_EQ(box.pressedButton(), c.button);
    EXPECT_EQ(finished.results, std::vector<bool>{c.result});
  }
}

TEST_F(MsgBoxTest, FocusGoesToTheLastButtonWhenAsked) {
  for (unsigned flags : {34u, 34u | TXMsgBox::FocusLast}) {
    TXMsgBox box(x.dpy, "Do it?", flags, nullptr, false);
    box.show();
    ASSERT_TRUE(x.pumpUntil([&] { return box.getImage() != nullptr; }));
    EXPECT_EQ(box.button(1)->hasFocus(), (flags & TXMsgBox::FocusLast) != 0) << flags;
  }
}

TEST_F(MsgBoxTest, ShortTextIsWidenedToTheButtonRowAndLongTextWrapsAt450) {
  TXMsgBox small(x.dpy, "Hi", 1, nullptr, false);
  rfb::Rect label = rectOf(small, small.label());
  rfb::Rect ok = rectOf(small, small.button(0)), cancel = rectOf(small, small.button(1));
  EXPECT_EQ(label.width(), cancel.br.x - ok.tl.x);
  EXPECT_EQ(ok.tl.x, 10);
  EXPECT_EQ(ok.height(), 25);
  EXPECT_EQ(cancel.tl.x, ok.br.x + 3);
  EXPECT_EQ(small.width(), label.width() + 20);

  std::string text;
  for (int i = 0; i < 60; i++)
    text += "word ";
  TXMsgBox big(x.dpy, text.c_str(), 0, nullptr, false);
  label = rectOf(big, big.label());
  EXPECT_LE(label.width(), TXMsgBox::wrapWidth);
  EXPECT_GT(label.width(), 300);
  EXPECT_GT(big.label()->getLines().size(), 2u);
  EXPECT_EQ(big.height(), label.height() + 25 + 30);
}

TEST_F(MsgBoxTest, IconAndTextAreCentredAgainstEachOther) {
  TXMsgBox low(x.dpy, "Low", 0x10, nullptr, false);
  rfb::Rect icon = rectOf(low, low.icon()), label = rectOf(low, low.label());
  EXPECT_EQ(icon.tl, rfb::Point(10, 10));
  EXPECT_EQ(label.tl, rfb::Point(56, (36 - label.height()) / 2 + 10));
  TXMsgBox tall(x.dpy, "One\nTwo\nThree\nFour", 0x10, nullptr, false);
  icon = rectOf(tall, tall.icon());
  label = rectOf(tall, tall.label());
  EXPECT_GT(label.height(), 36);
  EXPECT_EQ(label.tl, rfb::Point(56, 10));
  EXPECT_EQ(icon.tl, rfb::Point(10, (label.height() - 36) / 2 + 10));
}

TEST_F(MsgBoxTest, ScreenshotOfAWarning) {
  TXMsgBox box(x.dpy, "The server could not be reached. Check that it runs and try again.", 50,
               "Warning", false);
  box.show();
  ASSERT_TRUE(x.pumpUntil([&] { return box.getImage() != nullptr; }));
  x.pumpFor(100);
  std::string path = testing_support::screenshot(x, box.win(), "msgbox");
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
}
