// The inputs page: the summary choice with its transient "Custom" item, the
// boxes and their parameters (the clipboard box writes two), a set that
// lacks a parameter, the view-only confirmation on a private X server, the
// layout and a picture.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/InputsPage.h"

#include "plat/BoolParameter.h"
#include "plat/ParameterSet.h"
#include "tx/TXMsgBox.h"

#include "CaptureLogger.h"
#include "TxModalScript.h"
#include "TxTestDisplay.h"
#include "WidgetTestHost.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using serverconfig::InputsPage;
using testing_support::TxTestDisplay;
using testing_support::WidgetTestHost;

const char* const allNames[] = {"AcceptKeyEvents", "AcceptPointerEvents", "SendCutText",
                                "AcceptCutText",   "ShareFiles",          "EnableChat"};

struct Server {
  plat::ParameterSet params{"Xzav"};
  std::vector<std::unique_ptr<plat::BoolParameter>> owned;
  explicit Server(const std::vector<std::string>& leaveOut = {}) {
    for (const char* name : allNames)
      if (std::find(leaveOut.begin(), leaveOut.end(), name) == leaveOut.end())
        owned.emplace_back(new plat::BoolParameter(name, "", true, false, &params));
  }
  std::string value(const char* name) { return params.get(name)->getValueStr().c_str(); }
  void set(const char* name, const char* value) { params.get(name)->setParam(value, 100); }
  // The six values in the table's order.
  std::string values() {
    std::string text;
    for (const char* name : allNames)
      text += params.find(name) ? value(name) : "-";
    return text;
  }
};

// The items the choice offers, in id order.
std::string offered(InputsPage& page) {
  std::string text;
  for (int id = 0; id < 4; id++)
    if (wvw::WMenuItem* item = page.choice()->getItem(id))
      text += (text.empty() ? "" : "|") + std::string(item->getLabel()->getText());
  return text;
}

// A pointer click on a box, as the page's host delivers it.
void clickBox(WidgetTestHost& host, InputsPage& page, wvw::WLabelCheckBox* box) {
  rfb::Point at(3, 3);
  for (wvw::Widget* w = box->getCheckBox(); w != &page; w = w->getContainer())
    at = at.translate(w->getContainer()->getChildPosition(w));
  host.pointer(at.x, at.y, 1);
  host.pointer(at.x, at.y, 0);
}

void pick(InputsPage& page, int id) {
  page.choice()->onClick(page.choice()->getItem(id));
}

} // namespace

TEST(InputsPage, AllOnShowsEnabledAndOffersTwoItems) {
  Server server;
  InputsPage page(nullptr, nullptr, &server.params, nullptr);
  WidgetTestHost host;
  host.attach(&page);
  EXPECT_STREQ(page.choice()->getText(), "Enabled");
  EXPECT_EQ(offered(page), "Enabled|Disabled (view-only mode)");
  EXPECT_FALSE(page.customShown());
  for (auto* box :
       {page.keyboardBox(), page.mouseBox(), page.clipboardBox(), page.filesBox(), page.chatBox()})
    EXPECT_TRUE(box->getCheckBox()->isChecked());
}

TEST(InputsPage, CustomIsOfferedOnlyWhileItIsTheSelection) {
  Server server;
  InputsPage page(nullptr, nullptr, &server.params, nullptr);
  WidgetTestHost host;
  host.attach(&page);
  clickBox(host, page, page.chatBox());
  EXPECT_EQ(server.value("EnableChat"), "0");
  EXPECT_STREQ(page.choice()->getText(), "Custom");
  EXPECT_EQ(offered(page), "Enabled|Disabled (view-only mode)|Custom");
  clickBox(host, page, page.chatBox());
  EXPECT_STREQ(page.choice()->getText(), "Enabled");
  EXPECT_EQ(offered(page), "Enabled|Disabled (view-only mode)");

  // Unticking every box one by one ends at "Disabled", without "Custom".
  for (auto* box :
       {page.keyboardBox(), page.mouseBox(), page.clipboardBox(), page.filesBox(), page.chatBox()})
    clickBox(host, page, box);
  EXPECT_STREQ(page.choice()->getText(), "Disabled (view-only mode)");
  EXPECT_FALSE(page.customShown());
  EXPECT_EQ(server.values(), "000000");
}

TEST(InputsPage, PickingASummarySetsAllFiveBoxes) {
  Server server;
  InputsPage page(nullptr, nullptr, &server.params, nullptr);
  WidgetTestHost host;
  host.attach(&page);
  clickBox(host, page, page.filesBox());
  ASSERT_TRUE(page.customShown());
  pick(page, InputsPage::Disabled);
  EXPECT_STREQ(page.choice()->getText(), "Disabled (view-only mode)");
  EXPECT_EQ(server.values(), "000000") << "the clipboard box writes both of its parameters";
  EXPECT_EQ(offered(page), "Enabled|Disabled (view-only mode)");
  for (const char* name : allNames)
    EXPECT_EQ(server.params.get(name)->getPriority(), 50) << name;
  pick(page, InputsPage::Enabled);
  EXPECT_EQ(server.values(), "111111");
  EXPECT_TRUE(page.clipboardBox()->getCheckBox()->isChecked());
}

TEST(InputsPage, DisagreeingClipboardValuesShowCustomAndAreKept) {
  Server server;
  server.set("AcceptCutText", "0");
  InputsPage page(nullptr, nullptr, &server.params, nullptr);
  WidgetTestHost host;
  host.attach(&page);
  EXPECT_TRUE(page.clipboardBox()->getCheckBox()->isIndeterminate());
  EXPECT_STREQ(page.choice()->getText(), "Custom");
  clickBox(host, page, page.chatBox());
  EXPECT_EQ(server.value("SendCutText"), "1");
  EXPECT_EQ(server.value("AcceptCutText"), "0");
  pick(page, InputsPage::Enabled);
  EXPECT_EQ(server.values(), "111111");
}

TEST(InputsPage, AParameterMissingFromTheSetLeavesTheBoxesAfterItUnbound) {
  Server server({"ShareFiles"});
  testing_support::ScopedCapture log("InputsPage", 0);
  ASSERT_TRUE(log.found());
  InputsPage page(nullptr, nullptr, &server.params, nullptr);
  ASSERT_EQ(log.logger.lines.size(), 1u);
  EXPECT_EQ(log.logger.lines[0].level, 0);
  EXPECT_EQ(log.logger.lines[0].text, "Unknown parameter 'ShareFiles'");
  WidgetTestHost host;
  host.attach(&page);
  server.set("EnableChat", "1");
  clickBox(host, page, page.chatBox());
  clickBox(host, page, page.clipboardBox());
  clickBox(host, page, page.keyboardBox());
  EXPECT_EQ(server.values(), "0111-1") << "the clipboard and chat boxes write nothing";
  EXPECT_STREQ(page.getTooltip(page.chatBox()->getCheckBox()), "Enable Chat with Zav Viewers.");
}

TEST(InputsPage, LayoutAndTooltips) {
  Server server;
  InputsPage page(nullptr, nullptr, &server.params, nullptr);
  const int s = 2;
  rfb::Rect label = page.getChildRect(page.label());
  rfb::Rect choice = page.getChildRect(page.choice());
  int cw, ch;
  page.choice()->getPreferredSize(&cw, &ch);
  EXPECT_EQ(choice, rfb::Rect::at(rfb::Point(3 * s + label.width() + s, s), cw, ch));
  EXPECT_EQ(label.tl, rfb::Point(3 * s, s + (ch - label.height()) / 2));
  int y = s + 3 * s + ch;
  rfb::Rect last;
  for (auto* box : {page.keyboardBox(), page.mouseBox(), page.clipboardBox(), page.filesBox(),
                    page.chatBox()}) {
    last = page.getChildRect(box);
    EXPECT_EQ(last.tl, rfb::Point(3 * s, y));
    EXPECT_FALSE(box->getCheckBox()->getCheck()->isRadio());
    y = last.br.y + 2 * s;
  }
  EXPECT_EQ(page.width(), 7 * s + cw + label.width());
  EXPECT_EQ(page.height(), last.tl.y + 6 * s + last.height());
  EXPECT_STREQ(page.getTooltip(page.choice()->getButton()), "Select an input configuration.");
  EXPECT_STREQ(page.getTooltip(page.clipboardBox()->getCheckBox()),
               "Exchange the contents of the local clipboard with Zav Viewers.");
}

class ViewOnlyTest : public ::testing::Test {
protected:
  void SetUp() override { testing_support::testAppInit(); }

  // Answers the question box when it comes up, with a real click on its
  // button (0 "Yes", 1 "No"), from another process, while the page waits
  // in the box's own loop.
  void answerWith(int button) {
    TXMsgBox probe(x.dpy, InputsPage::viewOnlyQuestion, TXMsgBox::YesNo | TXMsgBox::IconWarning,
                   nullptr, false);
    rfb::Rect r = probe.content()->getChildRect(probe.button(button));
    x.start({"xdotool", "search", "--sync", "--onlyvisible", "--name", "^Zav Server", "mousemove",
             "--window", "%1", std::to_string(r.tl.x + r.width() / 2),
             std::to_string(r.tl.y + r.height() / 2), "click", "1"});
  }

  TxTestDisplay x{"1280x1024x24"};
  Server server;
};

TEST_F(ViewOnlyTest, AskedOnlyWhenKeyboardAndMouseAreBothOff) {
  InputsPage page(x.dpy, nullptr, &server.params, nullptr);
  // Either input on: no question (a box would wait here for ever).
  server.set("AcceptKeyEvents", "0");
  EXPECT_TRUE(page.confirmViewOnly());
  server.set("AcceptKeyEvents", "1");
  server.set("AcceptPointerEvents", "0");
  EXPECT_TRUE(page.confirmViewOnly());

  server.set("AcceptKeyEvents", "0");
  answerWith(1);
  EXPECT_FALSE(page.confirmViewOnly());
  answerWith(0);
  EXPECT_TRUE(page.confirmViewOnly());
}

TEST_F(ViewOnlyTest, Screenshot) {
  TXDialog dialog(x.dpy, 10, 10, "Inputs", false, true);
  InputsPage page(x.dpy, &dialog, &server.params, nullptr);
  server.set("ShareFiles", "0");
  dialog.content()->addChildAt(&page, rfb::Point(0, 0));
  dialog.setContentSize(page.width(), page.height());
  dialog.show();
  ASSERT_TRUE(x.pumpUntil([&] { return dialog.getImage() != nullptr; }));
  x.pumpFor(100);
  EXPECT_STREQ(page.choice()->getText(), "Custom");
  testing_support::screenshot(x, dialog.win(), "inputspage");
  dialog.content()->removeChild(&page);
}
