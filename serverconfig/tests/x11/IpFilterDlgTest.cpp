// The rule dialog on a private X server: its two layouts, the one-at-a-time
// radio buttons, the checks on OK with the error box that keeps the dialog
// open, and the rule it hands back.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/IpFilterDlg.h"

#include "TxDialogResults.h"
#include "TxModalScript.h"
#include "TxTestDisplay.h"

#include <string>
#include <vector>

namespace {

using serverconfig::AccessControlEntry;
using serverconfig::IpFilterDlg;
using testing_support::TxTestDisplay;

const std::string addressMessage = "You must enter a valid IP address or subnet mask.";

std::string maskMessage(const char* mask) {
  return (std::string("The subnet mask \"") + mask +
          "\" is not valid because it matches all IP addresses.\nPlease enter a more "
          "restrictive subnet mask.\n\n(If you really want to match all IP addresses, please "
          "use the \"Default\"\n Access Control entry instead of a subnet mask.)")
      .substr(0, 255);
}

using Finished = testing_support::TxDialogResults;

class IpFilterDlgTest : public ::testing::Test {
protected:
  void SetUp() override { testing_support::testAppInit(); }

  std::string title(TXWindow& w) { return x.title(w.win()); }
  bool checked(wvw::WLabelCheckBox* box) { return box->getCheckBox()->isChecked(); }
  void pick(IpFilterDlg& d, wvw::WLabelCheckBox* box) { d.onClick(box->getCheckBox()); }
  void typeAddress(IpFilterDlg& d, const char* text) { d.addressField()->setText(text); }
  // What OK shows: the error box's text, or "<ended>" when the dialog ended.
  std::string pressOk(IpFilterDlg& d) {
    d.onClick(d.okButton());
    if (d.errorBox()->isMapped())
      return d.errorBox()->label()->getText();
    return d.isDone() ? "<ended>" : "<still open>";
  }
  void closeErrorBox(IpFilterDlg& d) { d.errorBox()->onClick(d.errorBox()->button(0)); }
  static AccessControlEntry entryOf(const char* text) { return AccessControlEntry(text); }

  TxTestDisplay x{"1280x1024x24"};
};

} // namespace

TEST_F(IpFilterDlgTest, OrdinaryRuleLayout) {
  IpFilterDlg d(x.dpy, false);
  wvw::WCanvas* c = d.content();
  const int p = 3, q = 3;
  rfb::Rect heading = c->getChildRect(d.heading());
  rfb::Rect field = c->getChildRect(d.addressField());
  rfb::Rect accept = c->getChildRect(d.acceptButton());
  rfb::Rect reject = c->getChildRect(d.rejectButton());
  rfb::Rect query = c->getChildRect(d.queryButton());
  rfb::Rect notes = c->getChildRect(d.notesPanel());
  rfb::Rect ok = c->getChildRect(d.okButton());
  rfb::Rect cancel = c->getChildRect(d.cancelButton());
  EXPECT_STREQ(d.heading()->getText(), "When a Zav Viewer connects from the following IP address:");
  EXPECT_EQ(heading.tl, rfb::Point(p, q));
  EXPECT_EQ(heading.width(), 350 - 4 * p);
  EXPECT_EQ(field, rfb::Rect::at(rfb::Point(5 * p, heading.br.y + 2 * q), 350 - 8 * p, 25));
  EXPECT_EQ(d.addressField()->getMaxLength(), 128u);
  EXPECT_EQ(accept.tl.x, 3 * p);
  EXPECT_GT(accept.tl.y, field.br.y + 2 * q) << "\"Zav Server should:\" stands between";
  EXPECT_EQ(reject.tl, rfb::Point(3 * p, accept.br.y + 2 * q));
  EXPECT_EQ(query.tl, rfb::Point(3 * p, reject.br.y + 2 * q));
  EXPECT_TRUE(d.acceptButton()->getCheckBox()->getCheck()->isRadio());
  EXPECT_EQ(notes.tl, rfb::Point(p, query.br.y + 2 * q));
  EXPECT_EQ(d.notesLabel()->width(), 350 - 6 * p);
  EXPECT_EQ(d.notesLabel()->height(), 100);
  EXPECT_EQ(d.notesPanel()->getContent()->getChildPosition(d.notesLabel()), rfb::Point(p, 2 * q));
  EXPECT_EQ(cancel, rfb::Rect::at(rfb::Point(350 - 2 * p - 60, notes.br.y + 2 * q), 60, 25));
  EXPECT_EQ(ok, rfb::Rect::at(rfb::Point(cancel.tl.x - 2 * p - 60, cancel.tl.y), 60, 25));
  int w, h;
  c->getPreferredSize(&w, &h);
  EXPECT_EQ(d.width(), w + 2 * p);
  EXPECT_EQ(d.height(), cancel.br.y + 2 * q);
  EXPECT_EQ(title(d), "");
}

TEST_F(IpFilterDlgTest, DefaultEntryLayoutHasOnlyTheActions) {
  IpFilterDlg d(x.dpy, true);
  wvw::WCanvas* c = d.content();
  EXPECT_EQ(d.addressField()->getContainer(), nullptr);
  EXPECT_EQ(d.notesPanel()->getContainer(), nullptr);
  EXPECT_STREQ(d.heading()->getText(),
               "When a Zav Viewer connects from an IP address that does not match any of the "
               "existing filters, Zav Server should:");
  rfb::Rect heading = c->getChildRect(d.heading());
  rfb::Rect accept = c->getChildRect(d.acceptButton());
  rfb::Rect query = c->getChildRect(d.queryButton());
  rfb::Rect cancel = c->getChildRect(d.cancelButton());
  EXPECT_EQ(accept.tl, rfb::Point(9, heading.br.y + 6));
  EXPECT_EQ(cancel.tl, rfb::Point(350 - 6 - 60, query.br.y + 6));
  EXPECT_EQ(title(d), "Edit Rule");
}

TEST_F(IpFilterDlgTest, TitleAndControlsFollowTheEntryGiven) {
  IpFilterDlg d(x.dpy, false);
  d.editEntry(AccessControlEntry());
  EXPECT_EQ(title(d), "Add Rule");
  EXPECT_STREQ(d.addressField()->getText(), "");
  EXPECT_FALSE(checked(d.acceptButton()) || checked(d.rejectButton()) || checked(d.queryButton()));
  d.onClick(d.cancelButton());

  d.editEntry(entryOf("?10.1.0.0/16"));
  EXPECT_EQ(title(d), "Edit Rule");
  EXPECT_STREQ(d.addressField()->getText(), "10.1.0.0/16");
  EXPECT_TRUE(checked(d.queryButton()));
  EXPECT_FALSE(checked(d.acceptButton()) || checked(d.rejectButton()));
  // Shown again while on screen: what the user typed stays.
  typeAddress(d, "10.2.0.0/16");
  d.editEntry(entryOf("+1.1.1.1"));
  EXPECT_STREQ(d.addressField()->getText(), "10.2.0.0/16");
  EXPECT_EQ(std::string(d.entry().text()), "?10.1.0.0/16");
}

TEST_F(IpFilterDlgTest, RadioButtonsAreOneAtATime) {
  IpFilterDlg d(x.dpy, false);
  d.editEntry(AccessControlEntry());
  pick(d, d.acceptButton());
  EXPECT_TRUE(checked(d.acceptButton()));
  pick(d, d.rejectButton());
  EXPECT_FALSE(checked(d.acceptButton()));
  EXPECT_TRUE(checked(d.rejectButton()));
  // A click on the chosen one toggles its box; the choice stays.
  d.rejectButton()->getCheckBox()->setChecked(false);
  pick(d, d.rejectButton());
  EXPECT_TRUE(checked(d.rejectButton()));
  EXPECT_FALSE(checked(d.queryButton()));
}

// Real pointer clicks reach the dialog through its window: a radio button,
// then OK with the address typed.
TEST_F(IpFilterDlgTest, RealClicksChooseAndEnd) {
  IpFilterDlg d(x.dpy, false);
  Finished finished;
  d.setCallback(&finished);
  d.editEntry(AccessControlEntry());
  ASSERT_TRUE(x.pumpUntil([&] { return d.getImage() != nullptr; }));
  auto click = [&](wvw::Widget* w) {
    XSync(x.dpy, False);
    int px = 0, py = 0;
    d.positionOnRoot(&px, &py);
    rfb::Point at = w->mapPointTo(rfb::Point(w->width() / 2, w->height() / 2), d.content());
    x.run({"xdotool", "mousemove", std::to_string(px + at.x), std::to_string(py + at.y), "click",
           "1"});
    x.pumpFor(50);
  };
  click(d.queryButton()->getCheckBox());
  EXPECT_TRUE(checked(d.queryButton()));
  typeAddress(d, "172.16.0.0/12");
  click(d.okButton());
  ASSERT_TRUE(x.pumpUntil([&] { return !finished.results.empty(); }));
  EXPECT_EQ(finished.results, std::vector<bool>{true});
  EXPECT_FALSE(d.isMapped());
  EXPECT_EQ(std::string(d.entry().text()), "?172.16.0.0/12");
  EXPECT_EQ(std::string(d.entry().display()), "Query - 172.16.0.0/12");
}

TEST_F(IpFilterDlgTest, OkChecksTheRuleAndTheErrorBoxKeepsTheDialogOpen) {
  struct Case {
    const char* action; // "a", "r", "q" or "" for none
    const char* address;
    std::string shown;
  } cases[] = {
      {"", "1.2.3.4", "You must choose either Accept, Reject or Query"},
      {"a", "", addressMessage},
      {"a", "192.168.0.0/0", maskMessage("0")},
      {"r", "10.0.0.0/0.0.0.0", maskMessage("0.0.0.0")},
      // Addresses the server's filter cannot read would never match.
      {"a", "abc", addressMessage},
      {"a", "abc/24", addressMessage},
      {"q", "1.2.3.4 ", addressMessage},
      {"a", "192.168.0.0/24", "<ended>"},
      {"r", "192.168.0.1", "<ended>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.action) + " " + c.address);
    IpFilterDlg d(x.dpy, false);
    Finished finished;
    d.setCallback(&finished);
    d.editEntry(AccessControlEntry());
    if (*c.action)
      pick(d, *c.action == 'a'   ? d.acceptButton()
              : *c.action == 'r' ? d.rejectButton()
                                 : d.queryButton());
    typeAddress(d, c.address);
    EXPECT_EQ(pressOk(d), c.shown);
    if (c.shown == "<ended>") {
      EXPECT_EQ(finished.results, std::vector<bool>{true});
      EXPECT_EQ(std::string(d.entry().pattern()), c.address);
      continue;
    }
    EXPECT_TRUE(finished.results.empty());
    EXPECT_TRUE(d.isMapped());
    EXPECT_TRUE(d.errorBox()->icon() != nullptr);
    EXPECT_EQ(d.errorBox()->numButtons(), 1);
    EXPECT_EQ(d.errorBox()->transientFor(), &d);
    EXPECT_STREQ(d.addressField()->getText(), c.address) << "what the user typed stays";
    closeErrorBox(d);
    EXPECT_FALSE(d.errorBox()->isMapped());
    d.onClick(d.cancelButton());
    EXPECT_EQ(finished.results, std::vector<bool>{false});
  }
}

// Keys and pointer buttons are ignored while the error box is open.
TEST_F(IpFilterDlgTest, InputIsOffWhileTheErrorBoxIsOpen) {
  IpFilterDlg d(x.dpy, false);
  d.editEntry(AccessControlEntry());
  ASSERT_TRUE(x.pumpUntil([&] { return d.getImage() != nullptr; }));
  pressOk(d);
  ASSERT_TRUE(d.errorBox()->isMapped());
  ASSERT_TRUE(x.pumpUntil([&] { return d.errorBox()->getImage() != nullptr; }));
  x.pumpFor(100);
  testing_support::screenshot(x, d.errorBox()->win(), "ipfilterdlg-error");
  XSync(x.dpy, False);
  int px = 0, py = 0;
  d.positionOnRoot(&px, &py);
  // The box stands centred on the screen, over the dialog; a click on the
  // radio button, which lies outside the box, is not taken.
  rfb::Point at = d.acceptButton()->getCheckBox()->mapPointTo(rfb::Point(5, 5), d.content());
  int bx = 0, by = 0;
  d.errorBox()->positionOnRoot(&bx, &by);
  rfb::Rect box = rfb::Rect::at(rfb::Point(bx, by), d.errorBox()->width(), d.errorBox()->height());
  ASSERT_FALSE(box.contains(rfb::Point(px + at.x, py + at.y)));
  x.run(
      {"xdotool", "mousemove", std::to_string(px + at.x), std::to_string(py + at.y), "click", "1"});
  x.pumpFor(50);
  EXPECT_FALSE(checked(d.acceptButton()));
  closeErrorBox(d);
  x.run(
      {"xdotool", "mousemove", std::to_string(px + at.x), std::to_string(py + at.y), "click", "1"});
  x.pumpFor(50);
  EXPECT_TRUE(checked(d.acceptButton()));
}

TEST_F(IpFilterDlgTest, DefaultEntryEndsWithTheActionAlone) {
  IpFilterDlg d(x.dpy, true);
  Finished finished;
  d.setCallback(&finished);
  AccessControlEntry loaded("-");
  ASSERT_TRUE(loaded.isDefault());
  d.editEntry(loaded);
  EXPECT_TRUE(checked(d.rejectButton()));
  pick(d, d.acceptButton());
  EXPECT_EQ(pressOk(d), "<ended>");
  EXPECT_EQ(std::string(d.entry().text()), "+");
  EXPECT_EQ(std::string(d.entry().display()), "Accept - Default");
  EXPECT_TRUE(d.entry().isDefault());
}

// A rule read from the server whose address the filter cannot read (a
// blank after it) is an ordinary rule: edited, its address must be put
// right before OK takes it.
TEST_F(IpFilterDlgTest, AnUnreadableLoadedRuleMustBeCorrected) {
  IpFilterDlg d(x.dpy, false);
  d.editEntry(entryOf("+1.2.3.4 "));
  EXPECT_STREQ(d.addressField()->getText(), "1.2.3.4 ");
  EXPECT_EQ(pressOk(d), addressMessage);
  closeErrorBox(d);
  typeAddress(d, "1.2.3.4");
  EXPECT_EQ(pressOk(d), "<ended>");
  EXPECT_EQ(std::string(d.entry().text()), "+1.2.3.4");
}

// Clearing an edited rule's address does not keep the old one.
TEST_F(IpFilterDlgTest, AnEmptiedAddressIsRefused) {
  IpFilterDlg d(x.dpy, false);
  d.editEntry(entryOf("-9.9.9.9"));
  typeAddress(d, "");
  EXPECT_EQ(pressOk(d), addressMessage);
}

TEST_F(IpFilterDlgTest, Screenshots) {
  IpFilterDlg rule(x.dpy, false);
  rule.editEntry(entryOf("+192.168.0.0/24"));
  ASSERT_TRUE(x.pumpUntil([&] { return rule.getImage() != nullptr; }));
  x.pumpFor(100);
  testing_support::screenshot(x, rule.win(), "ipfilterdlg-rule");
  rule.onClick(rule.cancelButton());
  IpFilterDlg def(x.dpy, true);
  def.editEntry(entryOf("?"));
  ASSERT_TRUE(x.pumpUntil([&] { return def.getImage() != nullptr; }));
  x.pumpFor(100);
  testing_support::screenshot(x, def.win(), "ipfilterdlg-default");
}
