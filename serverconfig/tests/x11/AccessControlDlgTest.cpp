// The host rules dialog on a private X server: the load/store table through
// the dialog, the row buttons' bounds, where new rules go, editing through
// the two rule dialogs, Cancel, the layout and a picture.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/unix/AccessControlDlg.h"

#include "plat/Assert.h"
#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"
#include "serverconfig/tests/HostRulesTable.h"

#include "tx/TXWRootLayout.h"

#include "ThrownMessage.h"
#include "TxDialogResults.h"
#include "TxModalScript.h"
#include "TxTestDisplay.h"

#include <string>
#include <vector>

namespace {

using serverconfig::AccessControlDlg;
using serverconfig::IpFilterDlg;
using testing_support::TxTestDisplay;

using Finished = testing_support::TxDialogResults;

class AccessControlDlgTest : public ::testing::Test {
protected:
  void SetUp() override { dlg.setCallback(&finished); }

  void showWith(const char* value) {
    hosts.setParam(value, 50);
    dlg.showFor(&params);
  }
  std::string rows() {
    std::string text;
    wvw::WListBox* list = dlg.list();
    for (int i = 0; i < list->getCount(); i++)
      text += (i ? "; " : "") + std::string(dlg.getItemText(list, i));
    return text;
  }
  std::string stored() { return hosts.getValueStr().c_str(); }
  // A row clicked, as the list reports it.
  void clickRow(int row) {
    dlg.list()->setSelected(row);
    dlg.onClick(dlg.list());
  }
  std::string enabledButtons() {
    std::string text;
    for (auto* b : {dlg.editButton(), dlg.removeButton(), dlg.upButton(), dlg.downButton()})
      if (b->isEnabled())
        text += (text.empty() ? "" : " ") + std::string(b->getLabel()->getText());
    return text;
  }
  // The rule dialog ends with OK after the action and address are set.
  void finishRule(IpFilterDlg* rule, wvw::WLabelCheckBox* action, const char* address) {
    ASSERT_TRUE(rule->isMapped());
    rule->onClick(action->getCheckBox());
    if (address)
      rule->addressField()->setText(address);
    rule->onClick(rule->okButton());
    ASSERT_FALSE(rule->isMapped()) << rule->errorBox()->label()->getText();
  }

  // Message boxes take their title from the program's start-up object.
  bool appInit = testing_support::testAppInit() != nullptr;
  TxTestDisplay x{"1280x1024x24"};
  plat::ParameterSet params{"Xzav"};
  plat::StringParameter hosts{"Hosts", "", "", false, &params};
  AccessControlDlg dlg{x.dpy};
  Finished finished;
};

} // namespace

TEST_F(AccessControlDlgTest, LoadAndStoreThroughTheDialog) {
  int run = 0;
  for (const testing_support::HostRulesCase& c : testing_support::hostRulesCases) {
    SCOPED_TRACE(c.hosts);
    showWith(c.hosts);
    EXPECT_TRUE(dlg.isMapped());
    EXPECT_EQ(rows(), c.rows);
    dlg.onClick(dlg.okButton());
    EXPECT_FALSE(dlg.isMapped());
    EXPECT_EQ(stored(), c.stored);
    EXPECT_EQ(hosts.getPriority(), 50);
    EXPECT_EQ(finished.results.size(), size_t(++run));
    EXPECT_TRUE(finished.results.back());
  }
}

TEST_F(AccessControlDlgTest, RowButtonsFollowTheSelection) {
  showWith("+1.1.1.1,+2.2.2.2,+3.3.3.3,-");
  EXPECT_EQ(dlg.list()->getSelected(), 0) << "the first row at the first showing";
  struct Case {
    int row;
    const char* enabled;
  } cases[] = {
      {0, "Edit... Remove D"},
      {1, "Edit... Remove U D"},
      {2, "Edit... Remove U"},
      {3, "Edit..."},
  };
  for (const Case& c : cases) {
    clickRow(c.row);
    EXPECT_EQ(enabledButtons(), c.enabled) << c.row;
    EXPECT_TRUE(dlg.addButton()->isEnabled());
    EXPECT_TRUE(dlg.okButton()->isEnabled());
    EXPECT_TRUE(dlg.cancelButton()->isEnabled());
  }
}

TEST_F(AccessControlDlgTest, MovesAndRemovalKeepTheDefaultLast) {
  showWith("+1.1.1.1,+2.2.2.2,-");
  clickRow(1);
  dlg.onClick(dlg.downButton()); // disabled: it would pass the Default row
  dlg.onClick(dlg.upButton());
  EXPECT_EQ(rows(), "Accept - 2.2.2.2; Accept - 1.1.1.1; Reject - Default");
  EXPECT_EQ(dlg.list()->getSelected(), 0);
  dlg.onClick(dlg.downButton());
  EXPECT_EQ(dlg.list()->getSelected(), 1);
  clickRow(2);
  dlg.onClick(dlg.removeButton());
  EXPECT_EQ(rows(), "Accept - 1.1.1.1; Accept - 2.2.2.2; Reject - Default");
  clickRow(0);
  dlg.onClick(dlg.removeButton());
  EXPECT_EQ(rows(), "Accept - 2.2.2.2; Reject - Default");
  EXPECT_EQ(dlg.list()->getSelected(), 0) << "the following row is selected";
  dlg.onClick(dlg.okButton());
  EXPECT_EQ(stored(), "+2.2.2.2,-");
}

TEST_F(AccessControlDlgTest, AddedRulesGoAboveTheSelectionOrTheDefault) {
  showWith("+1.1.1.1,-");
  clickRow(-1);
  dlg.onClick(dlg.addButton());
  EXPECT_TRUE(dlg.isInputDisabled());
  EXPECT_TRUE(dlg.ruleDialog()->isMapped());
  finishRule(dlg.ruleDialog(), dlg.ruleDialog()->queryButton(), "9.9.9.9");
  EXPECT_FALSE(dlg.isInputDisabled());
  EXPECT_EQ(rows(), "Accept - 1.1.1.1; Query - 9.9.9.9; Reject - Default");
  EXPECT_EQ(dlg.list()->getSelected(), -1);

  clickRow(0);
  dlg.onClick(dlg.addButton());
  EXPECT_STREQ(dlg.ruleDialog()->addressField()->getText(), "") << "a blank rule";
  finishRule(dlg.ruleDialog(), dlg.ruleDialog()->rejectButton(), "10.0.0.0/8");
  EXPECT_EQ(rows(), "Reject - 10.0.0.0/8; Accept - 1.1.1.1; Query - 9.9.9.9; Reject - Default");
  EXPECT_EQ(dlg.list()->getSelected(), 0);
  dlg.onClick(dlg.okButton());
  EXPECT_EQ(stored(), "-10.0.0.0/8,+1.1.1.1,?9.9.9.9,-");
}

TEST_F(AccessControlDlgTest, EditingGoesToTheRightRuleDialog) {
  showWith("+1.2.3.4,-");
  clickRow(0);
  dlg.onClick(dlg.editButton());
  IpFilterDlg* rule = dlg.ruleDialog();
  ASSERT_TRUE(rule->isMapped());
  EXPECT_FALSE(dlg.defaultRuleDialog()->isMapped());
  EXPECT_STREQ(rule->addressField()->getText(), "1.2.3.4");
  EXPECT_TRUE(rule->acceptButton()->getCheckBox()->isChecked());
  // A failed OK, then Cancel: the rule stays as it was.
  rule->addressField()->setText("abc/24");
  rule->onClick(rule->okButton());
  EXPECT_TRUE(rule->errorBox()->isMapped());
  rule->errorBox()->onClick(rule->errorBox()->button(0));
  rule->onClick(rule->cancelButton());
  EXPECT_FALSE(dlg.isInputDisabled());
  EXPECT_EQ(rows(), "Accept - 1.2.3.4; Reject - Default");

  // The Default row goes to the other dialog, and keeps its text short.
  clickRow(1);
  dlg.onClick(dlg.editButton());
  ASSERT_TRUE(dlg.defaultRuleDialog()->isMapped());
  EXPECT_TRUE(dlg.defaultRuleDialog()->rejectButton()->getCheckBox()->isChecked());
  finishRule(dlg.defaultRuleDialog(), dlg.defaultRuleDialog()->queryButton(), nullptr);
  EXPECT_EQ(rows(), "Accept - 1.2.3.4; Query - Default");
  EXPECT_EQ(dlg.list()->getSelected(), 1);
  dlg.onClick(dlg.okButton());
  EXPECT_EQ(stored(), "+1.2.3.4,?");
}

TEST_F(AccessControlDlgTest, ALoadedDefaultWithAMaskIsRewrittenToItsActionWhenEdited) {
  showWith("+10.0.0.0/0");
  clickRow(0);
  dlg.onClick(dlg.editButton());
  finishRule(dlg.defaultRuleDialog(), dlg.defaultRuleDialog()->acceptButton(), nullptr);
  dlg.onClick(dlg.okButton());
  EXPECT_EQ(stored(), "+");
}

TEST_F(AccessControlDlgTest, CancelStoresNothingAndTheNextShowingReloads) {
  showWith("+1.1.1.1,+2.2.2.2,-");
  clickRow(2);
  dlg.onClick(dlg.addButton());
  finishRule(dlg.ruleDialog(), dlg.ruleDialog()->acceptButton(), "3.3.3.3");
  EXPECT_EQ(dlg.getItemCount(dlg.list()), 4);
  dlg.onClick(dlg.cancelButton());
  EXPECT_EQ(finished.results, std::vector<bool>{false});
  EXPECT_EQ(stored(), "+1.1.1.1,+2.2.2.2,-");

  // Row 2 is beyond the shorter list now loaded: nothing is selected and a
  // new rule goes above the Default row.
  showWith("+5.5.5.5");
  EXPECT_EQ(rows(), "Accept - 5.5.5.5; Reject - Default");
  EXPECT_EQ(dlg.list()->getSelected(), -1);
  EXPECT_EQ(enabledButtons(), "");
  dlg.onClick(dlg.addButton());
  finishRule(dlg.ruleDialog(), dlg.ruleDialog()->rejectButton(), "6.6.6.6");
  EXPECT_EQ(rows(), "Accept - 5.5.5.5; Reject - 6.6.6.6; Reject - Default");
  testing_support::sendDeleteWindow(x.dpy, dlg.win());
  ASSERT_TRUE(x.pumpUntil([&] { return finished.results.size() == 2; }));
  EXPECT_FALSE(finished.results.back());
  EXPECT_EQ(stored(), "+5.5.5.5");
}

TEST_F(AccessControlDlgTest, ShownAgainWhileOpenKeepsTheEditsButNotForAnotherSet) {
  showWith("+1.1.1.1");
  clickRow(0);
  dlg.onClick(dlg.removeButton());
  dlg.showFor(&params);
  EXPECT_EQ(rows(), "Reject - Default");
  plat::ParameterSet other{"Other"};
  plat::StringParameter otherHosts{"Hosts", "", "", false, &other};
  EXPECT_NE(testing_support::thrownMessage([&] { dlg.showFor(&other); }), "<no exception>");
  EXPECT_NE(testing_support::thrownMessage([&] { dlg.getItemText(dlg.list(), 1); }),
            "<no exception>");
}

TEST_F(AccessControlDlgTest, LayoutAndTooltips) {
  const int p = 3, q = 3;
  wvw::WCanvas* c = dlg.content();
  rfb::Rect label = c->getChildRect(dlg.explanation());
  rfb::Rect list = c->getChildRect(dlg.list());
  EXPECT_EQ(label.tl, rfb::Point(p, q));
  EXPECT_EQ(label.width(), 300 - 4 * p);
  EXPECT_EQ(list, rfb::Rect::at(rfb::Point(p, label.br.y + 2 * q), 300, 100));
  std::vector<rfb::Rect> row;
  for (auto* b :
       {dlg.addButton(), dlg.editButton(), dlg.removeButton(), dlg.upButton(), dlg.downButton()})
    row.push_back(c->getChildRect(b));
  int w, h;
  dlg.removeButton()->getLabel()->getPreferredSize(&w, &h);
  EXPECT_EQ(row[0].tl, rfb::Point(p, list.br.y + 2 * q));
  for (int i = 1; i < 5; i++) {
    EXPECT_EQ(row[size_t(i)].tl, rfb::Point(row[size_t(i) - 1].br.x + 2 * p, row[0].tl.y)) << i;
  }
  EXPECT_EQ(row[0].width(), row[2].width());
  EXPECT_EQ(row[1].width(), row[2].width());
  EXPECT_EQ(row[3].width(), row[4].width());
  EXPECT_GT(row[2].width(), row[3].width());
  rfb::Rect ok = c->getChildRect(dlg.okButton());
  rfb::Rect cancel = c->getChildRect(dlg.cancelButton());
  EXPECT_EQ(cancel, rfb::Rect::at(rfb::Point(300 - 2 * p - 60, row[0].br.y + 2 * q), 60, 25));
  EXPECT_EQ(ok, rfb::Rect::at(rfb::Point(cancel.tl.x - 2 * p - 60, cancel.tl.y), 60, 25));
  EXPECT_EQ(dlg.height(), cancel.br.y + 2 * q);
  EXPECT_EQ(dlg.width(), list.br.x + p);

  showWith("+1.1.1.1");
  EXPECT_STREQ(dlg.getTooltip(dlg.addButton()), "Add a new rule.");
  EXPECT_STREQ(dlg.getTooltip(dlg.editButton()), "Edit the selected rule.");
  EXPECT_STREQ(dlg.getTooltip(dlg.removeButton()), "Remove the selected rule.");
  EXPECT_STREQ(dlg.getTooltip(dlg.upButton()),
               "Move the selected rule higher up in the order of precedence.");
  EXPECT_STREQ(dlg.getTooltip(dlg.downButton()),
               "Move the selected rule lower down in the order of precedence.");
}

// Real pointer clicks: a row, then "Add..." opens the rule dialog and the
// list ignores clicks until it ends.
TEST_F(AccessControlDlgTest, RealClicksSelectAndOpenTheRuleDialog) {
  showWith("+1.1.1.1,+2.2.2.2,-");
  ASSERT_TRUE(x.pumpUntil([&] { return dlg.getImage() != nullptr; }));
  auto click = [&](wvw::Widget* w, int dy) {
    XSync(x.dpy, False);
    int px = 0, py = 0;
    dlg.positionOnRoot(&px, &py);
    rfb::Point at = w->mapPointTo(rfb::Point(20, dy), dlg.content());
    x.run({"xdotool", "mousemove", std::to_string(px + at.x), std::to_string(py + at.y), "click",
           "1"});
    x.pumpFor(50);
  };
  int rowHeight = dlg.list()->getRow(0)->height();
  click(dlg.list()->getRow(1), rowHeight / 2);
  EXPECT_EQ(dlg.list()->getSelected(), 1);
  EXPECT_EQ(enabledButtons(), "Edit... Remove U");
  click(dlg.addButton(), 5);
  ASSERT_TRUE(dlg.ruleDialog()->isMapped());
  EXPECT_TRUE(dlg.isInputDisabled());
  dlg.ruleDialog()->onClick(dlg.ruleDialog()->cancelButton());
  EXPECT_FALSE(dlg.isInputDisabled());
  x.pumpFor(50);
  click(dlg.list()->getRow(2), rowHeight / 2);
  EXPECT_EQ(dlg.list()->getSelected(), 2);

  x.pumpFor(100);
  testing_support::screenshot(x, dlg.win(), "accesscontroldlg");

  // Resting on a button shows its tooltip; "Add..." hides it.
  XSync(x.dpy, False);
  int px = 0, py = 0;
  dlg.positionOnRoot(&px, &py);
  rfb::Point at = dlg.editButton()->mapPointTo(rfb::Point(4, 4), dlg.content());
  x.run({"xdotool", "mousemove", std::to_string(px + at.x), std::to_string(py + at.y)});
  TXWRootLayout* root = TXWRootLayout::get(x.dpy);
  ASSERT_TRUE(x.pumpUntil([&] { return root->windowOf(dlg.tooltip()) != nullptr; }));
  EXPECT_EQ(dlg.tooltip()->label()->getRuns().at(0).text, "Edit the selected rule.");
  dlg.onClick(dlg.addButton());
  EXPECT_EQ(root->windowOf(dlg.tooltip()), nullptr);
  dlg.ruleDialog()->onClick(dlg.ruleDialog()->cancelButton());
}
