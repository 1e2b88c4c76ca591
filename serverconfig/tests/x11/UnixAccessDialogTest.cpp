// The users and groups dialog on a private X display: lists read from
// "AllowedUsers" and "AllowedGroups", the rights cascade and the letters it
// writes, letters kept until edited, names that would break the list
// refused, bad letters reported and kept, Cancel dropping the changes.
// gtest comes first: the X headers' macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/UnixAccessDialog.h"

#include "OptionsTestWorld.h"

#include <pwd.h>
#include <string>
#include <unistd.h>

namespace {

using serverconfig::UnixAccessDialog;
using serverconfig::UnixAccessModel;

enum { View, Ptr, Key, Cut, Files, Print, Chat, Default, NoQuery, Full };

class UnixAccessDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    testing_support::testAppInit();
    host = std::make_unique<TXDialog>(x.dpy, 300, 200, "Options", false, true);
    host->show();
  }
  std::unique_ptr<UnixAccessDialog> make(const char* users, const char* groups = "") {
    server.allowedUsers.setParam(users, 50);
    server.allowedGroups.setParam(groups, 50);
    auto d = std::make_unique<UnixAccessDialog>(x.dpy, host.get(), &server.set);
    d->setCallback(&finished);
    d->show();
    return d;
  }
  void click(wvw::Widget* w) { w->onClick(w); }
  void clickBox(UnixAccessDialog& d, int i) { click(d.box(i)->getCheckBox()); }
  // Selects a listed name as a click on its item would.
  void select(UnixAccessDialog& d, UnixAccessModel::List list, const char* name) {
    d.tabSheets()->setCurrent(list == UnixAccessModel::Users ? 0 : 1);
    d.itemSelected(name, d.listBox(list));
  }
  std::string ticks(UnixAccessDialog& d) {
    std::string s;
    for (int i = 0; i < UnixAccessModel::boxCount; i++)
      s += d.box(i)->getCheckBox()->isChecked() ? 'x' : '.';
    return s;
  }
  std::vector<std::string> items(UnixAccessDialog& d, UnixAccessModel::List list) {
    std::vector<std::string> out;
    ui::WEditListBox* box = d.listBox(list);
    for (int i = 0; i < box->numItems(); i++)
      out.push_back(box->item(i)->getText());
    return out;
  }
  std::string ok(UnixAccessDialog& d) {
    click(d.okButton());
    return server.text("AllowedUsers");
  }
  static std::string me() {
    struct passwd* pw = getpwuid(getuid());
    return pw ? pw->pw_name : "";
  }

  testing_support::TxTestDisplay x{"1280x1024x24"};
  testing_support::ServerParameters server;
  testing_support::RecordingFinish finished;
  std::unique_ptr<TXDialog> host;
};

TEST_F(UnixAccessDialogTest, LaysOutAndStartsWithNothingShown) {
  auto d = make("carol:v", "staff:d");
  EXPECT_EQ(d->content()->getChildRect(d->tabSheets()), rfb::Rect::at(rfb::Point(6, 6), 180, 200));
  int c = d->tabSheets()->getContentPosition().y;
  // 96 wide, or as wide as "Remove Group" needs.
  wvw::WLabelButton widest("Remove Group");
  int bw, bh;
  widest.getPreferredSize(&bw, &bh);
  bw = std::max(bw, 96);
  EXPECT_EQ(d->content()->getChildRect(d->addButton()),
            rfb::Rect::at(rfb::Point(192, 6 + c - 10), bw, 25));
  EXPECT_EQ(d->content()->getChildRect(d->removeButton()),
            rfb::Rect::at(rfb::Point(192, 6 + c - 10 + 31), bw, 25));
  EXPECT_EQ(d->content()->getChildPosition(d->permissionsLabel()), rfb::Point(6, 212));
  EXPECT_GE(d->content()->getChildRect(d->permissionsLabel()).width(), 150);
  EXPECT_EQ(d->permissionsLabel()->getLines().size(), 1u);
  rfb::Rect last = d->content()->getChildRect(d->box(Full));
  rfb::Rect cancel = d->content()->getChildRect(d->cancelButton());
  rfb::Rect okRect = d->content()->getChildRect(d->okButton());
  EXPECT_EQ(cancel.tl.y, last.br.y + 9);
  EXPECT_EQ(cancel.br.x, d->width() - 6);
  EXPECT_EQ(okRect.br.x, cancel.tl.x - 3);
  EXPECT_EQ(d->height(), 3 + cancel.tl.y + 25 + 3);
  for (int i = 1; i < UnixAccessModel::boxCount; i++)
    EXPECT_EQ(d->content()->getChildPosition(d->box(i)).y,
              d->content()->getChildRect(d->box(i - 1)).br.y + 6);
  EXPECT_STREQ(d->box(NoQuery)->getLabel()->getText(), "Connect without accept/reject prompt");

  EXPECT_EQ(items(*d, UnixAccessModel::Users), std::vector<std::string>{"carol"});
  EXPECT_EQ(items(*d, UnixAccessModel::Groups), std::vector<std::string>{"staff"});
  // The list box selects the item it was given last, so the dialog opens
  // showing it.
  EXPECT_STREQ(d->shownEntry(), "carol");
  EXPECT_EQ(ticks(*d), "x.........");
  EXPECT_TRUE(d->box(View)->isEnabled());
  EXPECT_TRUE(d->removeButton()->isEnabled());
  EXPECT_TRUE(d->permissionsLabel()->isEnabled());
  ASSERT_TRUE(x.pumpUntil([&] { return d->getImage() != nullptr; }));
  x.pumpFor(100);
  testing_support::screenshot(x, d->win(), "users-and-groups-dialog");

  // Add: nothing shown until a name is entered.
  click(d->addButton());
  for (int i = 0; i < UnixAccessModel::boxCount; i++)
    EXPECT_FALSE(d->box(i)->isEnabled());
  EXPECT_EQ(ticks(*d), "..........");
  EXPECT_TRUE(d->addButton()->isEnabled());
  EXPECT_FALSE(d->removeButton()->isEnabled());
  EXPECT_FALSE(d->permissionsLabel()->isEnabled());

  d->tabSheets()->setCurrent(1);
  EXPECT_STREQ(d->addButton()->getLabel()->getText(), "Add Group");
  EXPECT_STREQ(d->removeButton()->getLabel()->getText(), "Remove Group");
  EXPECT_STREQ(d->permissionsLabel()->getText(), "Set group permissions:");
  EXPECT_STREQ(d->shownEntry(), "staff");
  EXPECT_EQ(ticks(*d), "xxxxxxxx..");
}

TEST_F(UnixAccessDialogTest, AnEmptyUserNameIsTheCurrentUser) {
  auto d = make(":f");
  ASSERT_STRNE(UnixAccessDialog::currentUser(), nullptr);
  EXPECT_EQ(UnixAccessDialog::currentUser(), me());
  EXPECT_EQ(items(*d, UnixAccessModel::Users), std::vector<std::string>{me()});
  select(*d, UnixAccessModel::Users, me().c_str());
  EXPECT_EQ(ticks(*d), "xxxxxxxxxx");
  EXPECT_EQ(ok(*d), me() + ":f");
  ASSERT_EQ(finished.ends.size(), 1u);
  EXPECT_TRUE(finished.ends[0].second);
  EXPECT_FALSE(d->isMapped());
}

TEST_F(UnixAccessDialogTest, UnlistedPiecesAndUneditedLettersAreWrittenBackAsRead) {
  auto d = make("bob,carol:v,dave:+vk-k,carol:f", "");
  EXPECT_EQ(items(*d, UnixAccessModel::Users), (std::vector<std::string>{"carol", "dave"}));
  select(*d, UnixAccessModel::Users, "carol");
  EXPECT_EQ(ticks(*d), "x.........");
  EXPECT_EQ(ok(*d), "bob,carol:v,dave:+vk-k,carol:f");
  EXPECT_EQ(server.text("AllowedGroups"), "");

  d->show();
  select(*d, UnixAccessModel::Users, "dave");
  EXPECT_EQ(ticks(*d), "x.........");
  clickBox(*d, Key);
  EXPECT_EQ(ok(*d), "bob,carol:v,dave:vk,carol:f");
}

TEST_F(UnixAccessDialogTest, TheCascadeAndTheLettersItWrites) {
  auto d = make("erin:v");
  select(*d, UnixAccessModel::Users, "erin");
  struct Step {
    int box;
    const char* ticks;
    const char* letters;
  } steps[] = {
      {Default, "xxxxxxxx..", "d"},       {Key, "xx.xxxx...", "vpcthr"},
      {NoQuery, "xx.xxxx.x.", "qvpcthr"}, {Full, "xxxxxxxxxx", "f"},
      {Full, "xxxxxxxxx.", "qd"},         {NoQuery, "xxxxxxxx..", "d"},
      {Default, "xxxxxxx...", "vkpcthr"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.letters);
    clickBox(*d, s.box);
    EXPECT_EQ(ticks(*d), s.ticks);
    EXPECT_EQ(d->model().find(UnixAccessModel::Users, "erin")->letters.c_str(),
              std::string(s.letters));
  }
  EXPECT_EQ(ok(*d), "erin:vkpcthr");
}

TEST_F(UnixAccessDialogTest, AddedNamesGetDefaultRightsAndRemovedOnesGo) {
  auto d = make("carol:v", "");
  click(d->addButton());
  ui::WEditListBox* users = d->listBox(UnixAccessModel::Users);
  EXPECT_TRUE(users->isAdding());
  EXPECT_FALSE(d->removeButton()->isEnabled());
  users->getEditField()->setText("frank");
  users->endEdit(true);
  EXPECT_STREQ(d->shownEntry(), "frank");
  EXPECT_EQ(ticks(*d), "xxxxxxxx..");
  EXPECT_TRUE(d->removeButton()->isEnabled());
  EXPECT_EQ(ok(*d), "carol:v,frank:d");

  d->show();
  d->tabSheets()->setCurrent(1);
  click(d->addButton());
  d->listBox(UnixAccessModel::Groups)->getEditField()->setText("wheel");
  d->listBox(UnixAccessModel::Groups)->endEdit(true);
  click(d->okButton());
  EXPECT_EQ(server.text("AllowedGroups"), "wheel:d");

  d->show();
  d->tabSheets()->setCurrent(0);
  ASSERT_EQ(users->numItems(), 2);
  users->onButtonPress(0, users->item(0));
  ASSERT_EQ(users->getSelected(), 0);
  click(d->removeButton());
  EXPECT_EQ(items(*d, UnixAccessModel::Users), std::vector<std::string>{"frank"});
  EXPECT_EQ(ok(*d), "frank:d");
}

// A name still being typed when OK is pressed is kept, not lost.
TEST_F(UnixAccessDialogTest, ANameBeingTypedWhenOkIsPressedIsWritten) {
  auto d = make("");
  click(d->addButton());
  d->listBox(UnixAccessModel::Users)->getEditField()->setText("gina");
  EXPECT_EQ(ok(*d), "gina:d");
}

// Names go into "name:letters" lists joined by ","; a name holding ",", ":"
// or a blank would add entries or rights and is refused.
TEST_F(UnixAccessDialogTest, NamesThatWouldBreakTheListAreRefused) {
  auto d = make("carol:v");
  ui::WEditListBox* users = d->listBox(UnixAccessModel::Users);
  for (const char* bad : {"bob:f", "eve,mallory:f", "john doe"}) {
    SCOPED_TRACE(bad);
    click(d->addButton());
    users->getEditField()->setText(bad);
    users->endEdit(true);
    ASSERT_TRUE(d->errorBox()->isMapped());
    EXPECT_NE(std::string(d->errorBox()->label()->getText()).find("may not contain"),
              std::string::npos);
    EXPECT_TRUE(d->isInputDisabled());
    click(d->errorBox()->button(0));
    EXPECT_FALSE(d->isInputDisabled());
    EXPECT_EQ(items(*d, UnixAccessModel::Users), std::vector<std::string>{"carol"});
    EXPECT_FALSE(d->box(View)->isEnabled());
  }
  // Renaming in place to such a name puts the old name back.
  d->itemRenamed("carol", "carol:f", users);
  EXPECT_TRUE(d->errorBox()->isMapped());
  click(d->errorBox()->button(0));
  EXPECT_EQ(ok(*d), "carol:v");
  d->show();
  d->itemRenamed("carol", "dora", users);
  EXPECT_EQ(ok(*d), "dora:v");
}

// A letter the program does not know must not end it: the entry is
// reported, kept and written back as it was read.
TEST_F(UnixAccessDialogTest, ABadLetterInTheServersListIsReportedAndKept) {
  auto d = make("carol:vz,dave:k", "staff:d");
  ASSERT_TRUE(d->errorBox()->isMapped());
  std::string shown = d->errorBox()->label()->getText();
  EXPECT_NE(shown.find("carol:vz"), std::string::npos) << shown;
  click(d->errorBox()->button(0));
  EXPECT_EQ(items(*d, UnixAccessModel::Users), (std::vector<std::string>{"carol", "dave"}));
  select(*d, UnixAccessModel::Users, "carol");
  EXPECT_EQ(ticks(*d), "x.........");
  EXPECT_EQ(ok(*d), "carol:vz,dave:k");
  EXPECT_EQ(server.text("AllowedGroups"), "staff:d");
}

TEST_F(UnixAccessDialogTest, CancelDropsEveryChangeAndEndsWithFalse) {
  auto d = make("carol:v", "staff:d");
  select(*d, UnixAccessModel::Users, "carol");
  clickBox(*d, Full);
  click(d->addButton());
  d->listBox(UnixAccessModel::Users)->getEditField()->setText("henry");
  click(d->cancelButton());
  ASSERT_EQ(finished.ends.size(), 1u);
  EXPECT_FALSE(finished.ends[0].second);
  EXPECT_EQ(server.text("AllowedUsers"), "carol:v");
  EXPECT_EQ(items(*d, UnixAccessModel::Users), std::vector<std::string>{"carol"});
  EXPECT_EQ(d->model().find(UnixAccessModel::Users, "carol")->letters.c_str(), std::string("v"));
  // What OK wrote is shown at the next opening.
  server.allowedUsers.setParam("ivy:f", 50);
  d->show();
  EXPECT_EQ(items(*d, UnixAccessModel::Users), std::vector<std::string>{"ivy"});
}

} // namespace
