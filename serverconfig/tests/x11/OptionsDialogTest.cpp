// The options window on a private X server with a stand-in owner: its title,
// page lists and toggle, the path of a value (reference set, working set),
// Cancel and closing that restore exactly what was last read, a showing
// that reloads in place, and the validators.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/OptionsDialog.h"

#include "serverconfig/BasicOptionsDlg.h"
#include "serverconfig/ConnectionsPage.h"
#include "serverconfig/InputsPage.h"
#include "serverconfig/PrintingPage.h"
#include "serverconfig/UnixAccessDialog.h"

#include "plat/XmlConfig.h"
#include "tx/TXWRootLayout.h"
#include "ui/AdvancedDialog.h"

#include "DialogDriver.h"
#include "OptionsTestWorld.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using serverconfig::OptionsDialog;

// The owner: the server's parameters as the XML text it would send, and
// what applying sent (as the status window's callback does it).
struct XmlOwner : testing_support::FakeOptionsOwner {
  std::map<std::string, std::string> values; // name -> bool value text
  std::vector<std::string> sent;
  int reloads = 0;
  void reloadParams(plat::ParameterSet* set) override {
    reloads++;
    std::string xml = "<?xml version=\"1.0\"?>\n<config>\n";
    for (const auto& v : values)
      xml += "<bool name=\"" + v.first + "\" description=\"\">\n  <value data=\"" + v.second +
             "\" priority=\"100\"/>\n</bool>\n";
    xml += "</config>\n";
    plat::loadXmlConfigText(set, xml.c_str());
  }
  void applyOptions(plat::ParameterSet* changed, plat::ParameterSet* server) override {
    applied++;
    for (plat::ConfigParameter* p = changed->getFirst(); p; p = p->getNext()) {
      plat::ConfigParameter* old = server->find(p->getName());
      std::string now = p->getValueStr().c_str();
      if (!old || now != old->getValueStr().c_str()) {
        sent.push_back(std::string(p->getName()) + "=" + now);
        values[p->getName()] = now;
      }
    }
    server->setValuesFrom(*changed);
  }
};

int countOwn(plat::ParameterSet* set) {
  int n = 0;
  for (plat::ConfigParameter* p = set->getFirst(); p; p = p->getNext())
    n++;
  return n;
}

class OptionsDialogTest : public ::testing::Test {
protected:
  OptionsDialogTest() {
    OptionsDialog::advancedParam.unsetParam(50);
    for (const char* name :
         {"AcceptKeyEvents", "AcceptPointerEvents", "SendCutText", "AcceptCutText", "ShareFiles",
          "EnableChat", "EnableRemotePrinting", "AllowChangeDefaultPrinter"}) {
      owner.values[name] = "1";
      bools.emplace_back(new plat::BoolParameter(name, "", true, false, &server.set));
    }
    owner.status["has_zav_passwd"] = "1";
  }
  ~OptionsDialogTest() override { OptionsDialog::advancedParam.unsetParam(50); }

  std::vector<std::string> tabs(OptionsDialog& d) {
    std::vector<std::string> labels;
    wvw::WTitledTabSheets* sheets = d.properties()->getTabSheets();
    for (int i = 0; i < sheets->getSheets()->getCount(); i++)
      labels.push_back(sheets->getSheets()->getTab(i)->getLabel()->getText());
    return labels;
  }
  // Brings the inputs page on screen: the advanced list, its second tab.
  void showInputs(OptionsDialog& d) {
    if (!OptionsDialog::advancedParam.getValue())
      d.properties()->onClick(d.properties()->getToggleButton());
    d.properties()->getTabSheets()->getSheets()->setCurrent(1);
    ASSERT_EQ(d.inputsPage()->getParent() != nullptr, true);
  }
  void toggle(wvw::WLabelCheckBox* box) { box->getCheckBox()->onClick(box->getCheckBox()); }
  std::string levels(const char* name, plat::ParameterSet* set) {
    std::string text;
    for (const auto& v : set->get(name)->getValueStrs())
      text += std::to_string(v.first) + ":" + v.second.c_str() + " ";
    return text;
  }

  bool appInit = testing_support::testAppInit() != nullptr;
  testing_support::TxTestDisplay x{"1280x1024x24"};
  testing_support::ServerParameters server;
  plat::StringParameter guestAccess{"GuestAccess", "", "", false, &server.set};
  plat::StringParameter hosts{"Hosts", "", "+", false, &server.set};
  std::vector<std::unique_ptr<plat::BoolParameter>> bools;
  XmlOwner owner;
};

} // namespace

TEST_F(OptionsDialogTest, TitleListsAndToggle) {
  owner.mode = 3;
  OptionsDialog d(x.dpy, &owner, &server.set);
  EXPECT_EQ(x.title(d.win()), "Options (Virtual-Mode)");
  d.showOptions();
  EXPECT_EQ(tabs(d), std::vector<std::string>{"Basic"});
  EXPECT_STREQ(d.properties()->getToggleButton()->getLabel()->getText(), "Advanced...");
  d.properties()->onClick(d.properties()->getToggleButton());
  EXPECT_EQ(tabs(d), (std::vector<std::string>{"Connection", "Inputs", "Printing", "Expert"}));
  EXPECT_STREQ(d.properties()->getToggleButton()->getLabel()->getText(), "Basic...");
  ASSERT_TRUE(x.pumpUntil([&] { return d.getImage() != nullptr; }));
  x.pumpFor(100);
  testing_support::screenshot(x, d.win(), "optionsdialog");
}

// Resting the pointer on a control of each page shows its tooltip, the
// expert page's list included (a parameter's description); a picture of the
// window with the tooltip is left for review.
TEST_F(OptionsDialogTest, EveryPageShowsItsTooltips) {
  plat::StringParameter desktop{"DesktopName", "The name of this desktop as viewers see it.", "",
                                false, &server.set};
  owner.mode = 2;
  OptionsDialog d(x.dpy, &owner, &server.set);
  d.showOptions();
  ASSERT_TRUE(x.pumpUntil([&] { return d.getImage() != nullptr; }));
  ui::WAdvancedListBox* list = d.expertPage()->getList();
  wvw::Widget* described = nullptr;
  int describedRow = 0;
  for (int i = 0; i < list->numRows() && !described; i++)
    if (strcmp(list->row(i)->param->getName(), "DesktopName") == 0) {
      described = &list->row(i)->name;
      describedRow = i;
    }
  ASSERT_NE(described, nullptr);
  struct Case {
    const char* picture;
    int tab; // -1: the basic page
    ui::TooltipManager* tips;
    wvw::Widget* widget;
  } cases[] = {
      {"options_tooltip_basic", -1, d.basicPage(), d.basicPage()->encChoice()->getButton()},
      {"options_tooltip_connection", 0, d.connectionsPage(), d.connectionsPage()->ipFilterButton()},
      {"options_tooltip_inputs", 1, d.inputsPage(), d.inputsPage()->choice()->getButton()},
      {"options_tooltip_expert", 3, list, described},
  };
  TXWRootLayout* root = TXWRootLayout::get(x.dpy);
  x.run({"xsetroot", "-solid", "#a0a0a0"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.picture);
    if (c.tab >= 0) {
      if (!OptionsDialog::advancedParam.getValue())
        d.properties()->onClick(d.properties()->getToggleButton());
      d.properties()->getTabSheets()->getSheets()->setCurrent(c.tab);
    }
    x.pumpFor(50);
    const char* text = c.tips->getTooltip(c.widget);
    ASSERT_NE(text, nullptr);
    testing_support::DialogDriver driver(x, d);
    if (c.widget == described) {
      // The wheel brings the row into the list, one row a notch.
      rfb::Point tl = list->mapPointTo(rfb::Point(0, 0), d.content());
      rfb::Point over = driver.onRoot(tl.translate(rfb::Point(list->width() / 2, 40)));
      x.run({"xdotool", "mousemove", std::to_string(over.x), std::to_string(over.y), "click",
             "--repeat", std::to_string(describedRow - 1), "5"});
      ASSERT_TRUE(x.pumpUntil([&] { return described->isVisible(); }));
    }
    rfb::Point tl = c.widget->mapPointTo(rfb::Point(0, 0), d.content());
    rfb::Point at = driver.onRoot(tl.translate(rfb::Point(c.widget->width() / 2, 3)));
    x.run({"xdotool", "mousemove", std::to_string(at.x), std::to_string(at.y)});
    ui::Tooltip* tip = c.tips->tooltip();
    ASSERT_TRUE(x.pumpUntil([&] { return root->windowOf(tip) != nullptr; }));
    // The label wraps the text into runs: compared without the spaces.
    std::string shown, expected;
    for (const auto& run : tip->label()->getRuns())
      shown += run.text;
    for (const char* t = text; *t; t++)
      expected += *t;
    for (std::string* s : {&shown, &expected})
      s->erase(std::remove_if(s->begin(), s->end(), [](char ch) { return isspace(ch); }), s->end());
    EXPECT_EQ(shown, expected);
    x.pumpFor(100);
    // The picture holds the whole dialog window and the tooltip's window,
    // borders included, as the X server places them, with a margin of grey
    // background around them so that the tooltip's dark border shows whole.
    XSync(x.dpy, False);
    const int margin = 8;
    rfb::Rect area =
        testing_support::windowAreaOnRoot(x.dpy, d.win())
            .unionBoundary(testing_support::windowAreaOnRoot(x.dpy, root->windowOf(tip)->win()));
    area = rfb::Rect(area.tl.x - margin, area.tl.y - margin, area.br.x + margin, area.br.y + margin)
               .intersect(rfb::Rect(0, 0, 1280, 1024));
    testing_support::screenshotOfArea(x, area, c.picture);
    // Away from the page the tooltip goes.
    x.run({"xdotool", "mousemove", "1270", "1010"});
    EXPECT_TRUE(x.pumpUntil([&] { return root->windowOf(tip) == nullptr; }));
  }
}

// A parameter that only has its server value: an edit is dropped by Cancel
// and by closing the window, down to its priority levels, and nothing is
// sent afterwards.
TEST_F(OptionsDialogTest, CancelAndCloseRestoreExactlyWhatWasRead) {
  OptionsDialog d(x.dpy, &owner, &server.set);
  for (int way = 0; way < 2; way++) {
    SCOPED_TRACE(way);
    d.showOptions();
    std::string before = levels("EnableChat", d.workingSet());
    EXPECT_EQ(before, "100:1 ");
    showInputs(d);
    toggle(d.inputsPage()->chatBox());
    EXPECT_EQ(server.text("EnableChat"), "0");
    if (way == 0)
      d.properties()->onClick(d.properties()->getCancelButton());
    else
      testing_support::sendDeleteWindow(x.dpy, d.win());
    ASSERT_TRUE(x.pumpUntil([&] { return !d.isMapped(); }));
    EXPECT_EQ(levels("EnableChat", d.workingSet()), before);
    EXPECT_EQ(server.text("EnableChat"), "1");
    d.apply();
    EXPECT_TRUE(owner.sent.empty());
  }
}

TEST_F(OptionsDialogTest, ApplyAndOkSendWhatChangedOnce) {
  OptionsDialog::advancedParam.setParam("1", 50);
  OptionsDialog d(x.dpy, &owner, &server.set);
  d.showOptions();
  showInputs(d);
  d.properties()->onClick(d.properties()->getApplyButton());
  EXPECT_TRUE(owner.sent.empty()) << "showing the pages changes nothing";
  toggle(d.inputsPage()->filesBox());
  d.properties()->onClick(d.properties()->getApplyButton());
  EXPECT_EQ(owner.sent, std::vector<std::string>{"ShareFiles=0"});
  d.properties()->onClick(d.properties()->getApplyButton());
  d.properties()->onClick(d.properties()->getOkButton());
  EXPECT_EQ(owner.sent, std::vector<std::string>{"ShareFiles=0"});
  EXPECT_FALSE(d.isMapped());
  EXPECT_EQ(owner.applied, 4);
}

// Every showing reloads the server's values into the reference set in place:
// no parameter twice, a value changed elsewhere is shown, leftovers of
// earlier edits are gone.
TEST_F(OptionsDialogTest, AHundredShowingsReloadInPlace) {
  OptionsDialog d(x.dpy, &owner, &server.set);
  d.showOptions();
  int working = countOwn(d.workingSet()), reference = countOwn(d.referenceSet());
  for (int i = 0; i < 100; i++) {
    showInputs(d);
    // An edit that is cancelled, and a change made elsewhere.
    toggle(d.inputsPage()->filesBox());
    ASSERT_EQ(server.text("ShareFiles"), "0") << i;
    owner.values["EnableChat"] = i % 2 ? "1" : "0";
    d.properties()->onClick(d.properties()->getCancelButton());
    d.showOptions();
    showInputs(d);
    ASSERT_EQ(server.text("EnableChat"), i % 2 ? "1" : "0") << i;
    ASSERT_EQ(d.inputsPage()->chatBox()->getCheckBox()->isChecked(), i % 2 == 1) << i;
    ASSERT_EQ(server.text("ShareFiles"), "1") << i;
  }
  EXPECT_EQ(owner.reloads, 101);
  EXPECT_EQ(countOwn(d.workingSet()), working);
  EXPECT_EQ(countOwn(d.referenceSet()), reference);
  d.apply();
  EXPECT_TRUE(owner.sent.empty());
}

TEST_F(OptionsDialogTest, TheInputsPageAsksOnlyInVirtualMode) {
  OptionsDialog d(x.dpy, &owner, &server.set);
  ui::PropertiesDialog::Page inputs{d.inputsPage(), "Inputs", "", "", &d};
  ui::PropertiesDialog::Page printing{d.printingPage(), "Printing", "", "", nullptr};
  server.set.get("AcceptKeyEvents")->setParam("0", 50);
  server.set.get("AcceptPointerEvents")->setParam("0", 50);
  owner.mode = 2;
  EXPECT_TRUE(d.validate(inputs)) << "no question outside virtual mode";
  owner.mode = 3;
  server.set.get("AcceptPointerEvents")->setParam("1", 50);
  EXPECT_TRUE(d.validate(inputs));
  EXPECT_TRUE(d.validate(printing));
}

TEST_F(OptionsDialogTest, AMissingPasswordKeepsTheBasicPageFromApplying) {
  owner.status["has_zav_passwd"] = "0";
  OptionsDialog d(x.dpy, &owner, &server.set);
  d.showOptions();
  d.properties()->onClick(d.properties()->getOkButton());
  EXPECT_EQ(owner.applied, 0);
  EXPECT_TRUE(d.isMapped());
  EXPECT_TRUE(d.basicPage()->noPasswordBox()->isMapped());
}
