// The connection page on a private X server: the port coupling and the
// ports read as decimal, the guest access levels, the master switch, the IP
// filter rules dialog on the working set, what a showing loads, the layout
// and a picture.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/ConnectionsPage.h"
#include "serverconfig/unix/AccessControlDlg.h"

#include "OptionsTestWorld.h"

#include <algorithm>
#include <string>

namespace {

using serverconfig::ConnectionsPage;

class ConnectionsPageTest : public ::testing::Test {
protected:
  ConnectionsPageTest() { guestAccess.setParam(guestValue, 100); }
  // The page built now, shown in a window as the options dialog shows it.
  ConnectionsPage& show() {
    page = std::make_unique<ConnectionsPage>(x.dpy, &window, &owner, nullptr, &server.set, nullptr);
    window.content()->addChildAt(page.get(), rfb::Point(0, 0));
    window.setContentSize(page->width(), page->height());
    window.show();
    return *page;
  }
  void hide() { window.unmap(); }
  ~ConnectionsPageTest() override {
    if (page)
      window.content()->removeChild(page.get());
  }
  void click(wvw::WLabelCheckBox* box) { box->getCheckBox()->onClick(box->getCheckBox()); }
  void type(wvw::WText* field, const char* text) { field->setText(text); }
  std::string field(wvw::WText* f) { return f->getText(); }
  void pickGuest(int id) { page->guestChoice()->onClick(page->guestChoice()->getItem(id)); }

  bool appInit = testing_support::testAppInit() != nullptr;
  testing_support::TxTestDisplay x{"1280x1024x24"};
  testing_support::ServerParameters server;
  plat::StringParameter guestAccess{"GuestAccess", "", "", false, &server.set};
  plat::StringParameter hosts{"Hosts", "", "+", false, &server.set};
  const char* guestValue = "";
  testing_support::FakeOptionsOwner owner;
  TXDialog window{x.dpy, 10, 10, "Options", false, true};
  std::unique_ptr<ConnectionsPage> page;
};

} // namespace

TEST_F(ConnectionsPageTest, TheHttpPortFollowsTheViewerPort) {
  show();
  EXPECT_EQ(page->portOffset(), -100);
  EXPECT_EQ(field(page->rfbPortField()), "5900");
  EXPECT_EQ(field(page->httpPortField()), "5800");
  struct Case {
    const char* typed;
    const char* rfb;
    const char* http;
  } cases[] = {
      {"6000", "6000", "5900"},           {"50", "50", "0"}, {"99999", "65535", "65435"},
      {"123456789012", "65535", "65435"}, {"", "", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    type(page->rfbPortField(), c.typed);
    EXPECT_EQ(field(page->rfbPortField()), c.rfb);
    EXPECT_EQ(field(page->httpPortField()), c.http);
    EXPECT_EQ(server.text("httpport"), c.http);
    EXPECT_EQ(page->portOffset(), -100);
  }
  type(page->rfbPortField(), "6000");
  type(page->httpPortField(), "6100");
  EXPECT_EQ(page->portOffset(), 100);
  type(page->rfbPortField(), "7000");
  EXPECT_EQ(field(page->httpPortField()), "7100");
  EXPECT_EQ(server.text("rfbport"), "7000");
  EXPECT_EQ(server.text("httpport"), "7100");
  EXPECT_EQ(server.set.get("rfbport")->getPriority(), 50);
}

// The parameter reads a leading zero as octal ("010" is 8, "09" is 0): the
// page hands it the decimal number the user sees.
TEST_F(ConnectionsPageTest, PortsWithLeadingZerosAreDecimal) {
  show();
  struct Case {
    const char* typed;
    const char* stored;
  } cases[] = {{"05901", "5901"}, {"010", "10"}, {"09", "9"}, {"0", "0"}, {"00000", "0"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    type(page->rfbPortField(), c.typed);
    EXPECT_EQ(server.text("rfbport"), c.stored);
    type(page->httpPortField(), c.typed);
    EXPECT_EQ(server.text("httpport"), c.stored);
  }
}

TEST_F(ConnectionsPageTest, GuestAccessLevels) {
  struct Case {
    const char* value;
    const char* shown;
    bool custom;
  } cases[] = {{"", "None", false},
               {"v", "View-only", false},
               {"d", "Interactive", false},
               {"vkp", "<custom>", true},
               {"f", "<custom>", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    if (page) {
      hide();
      window.content()->removeChild(page.get());
    }
    guestAccess.unsetParam(50);
    guestAccess.setParam(c.value, 100);
    show();
    EXPECT_EQ(std::string(page->guestChoice()->getText()), c.shown);
    EXPECT_EQ(page->guestChoice()->getItem(ConnectionsPage::GuestCustom) != nullptr, c.custom);
  }
  // The page built over "f": another level, then "<custom>" again writes
  // back exactly the text it was built with.
  pickGuest(ConnectionsPage::GuestViewOnly);
  EXPECT_EQ(server.text("GuestAccess"), "v");
  pickGuest(ConnectionsPage::GuestNone);
  EXPECT_EQ(server.text("GuestAccess"), "");
  pickGuest(ConnectionsPage::GuestInteractive);
  EXPECT_EQ(server.text("GuestAccess"), "d");
  pickGuest(ConnectionsPage::GuestCustom);
  EXPECT_EQ(server.text("GuestAccess"), "f");
}

TEST_F(ConnectionsPageTest, AcceptingConnectionsIsTheMasterSwitch) {
  show();
  ASSERT_TRUE(page->acceptCheck()->getCheckBox()->isChecked());
  EXPECT_TRUE(page->httpPortField()->isEnabled());
  click(page->javaCheck());
  EXPECT_FALSE(page->httpPortField()->isEnabled());
  EXPECT_EQ(server.text("AllowHTTP"), "0");
  click(page->javaCheck());

  click(page->acceptCheck());
  EXPECT_EQ(server.text("AllowRFB"), "0");
  EXPECT_EQ(server.text("AllowHTTP"), "0") << "the Java viewer goes with it";
  EXPECT_FALSE(page->javaCheck()->getCheckBox()->isChecked());
  for (wvw::Widget* w : std::initializer_list<wvw::Widget*>{
           page->javaCheck(), page->rfbPortField(), page->httpPortField(), page->guestLabel(),
           page->guestChoice(), page->ipFilterButton(), page->securityBox(), page->authChoice(),
           page->encChoice(), page->configureButton()})
    EXPECT_FALSE(w->isEnabled());
  EXPECT_TRUE(page->acceptCheck()->isEnabled());
  EXPECT_TRUE(page->actionChoice()->isEnabled());

  click(page->acceptCheck());
  EXPECT_EQ(server.text("AllowHTTP"), "1");
  EXPECT_TRUE(page->httpPortField()->isEnabled());
  EXPECT_TRUE(page->ipFilterButton()->isEnabled());
}

TEST_F(ConnectionsPageTest, IpFilterOpensTheRulesOnTheWorkingSet) {
  show();
  page->onClick(page->ipFilterButton());
  serverconfig::AccessControlDlg* rules = page->accessDialog();
  ASSERT_TRUE(rules->isMapped());
  EXPECT_TRUE(window.isInputDisabled());
  EXPECT_EQ(rules->getItemCount(rules->list()), 1);
  rules->list()->setSelected(0);
  rules->onClick(rules->list());
  rules->onClick(rules->editButton());
  serverconfig::IpFilterDlg* def = rules->defaultRuleDialog();
  def->onClick(def->rejectButton()->getCheckBox());
  def->onClick(def->okButton());
  rules->onClick(rules->okButton());
  EXPECT_FALSE(rules->isMapped());
  EXPECT_FALSE(window.isInputDisabled());
  EXPECT_EQ(server.text("Hosts"), "-");
  EXPECT_EQ(server.set.get("Hosts")->getPriority(), 50);
}

// A server whose HTTP port changed since the page was built shows that
// port: loading the viewer port does not make up the HTTP port from the
// old distance.
TEST_F(ConnectionsPageTest, AShowingLoadsBothPortsAsTheyAre) {
  show();
  hide();
  server.set.get("httpport")->unsetParam(50);
  server.set.get("rfbport")->unsetParam(50);
  server.set.get("httpport")->setParam("5805", 100);
  window.show();
  EXPECT_EQ(field(page->rfbPortField()), "5900");
  EXPECT_EQ(field(page->httpPortField()), "5805");
  EXPECT_EQ(server.text("httpport"), "5805");
  EXPECT_EQ(page->portOffset(), -95);
}

TEST_F(ConnectionsPageTest, LayoutAndPicture) {
  show();
  const int u = 2;
  rfb::Rect accept = page->getChildRect(page->acceptCheck());
  rfb::Rect rfbField = page->getChildRect(page->rfbPortField());
  rfb::Rect httpField = page->getChildRect(page->httpPortField());
  rfb::Rect button = page->getChildRect(page->ipFilterButton());
  EXPECT_EQ(rfbField.tl, rfb::Point(u + accept.width() + 2 * u, u));
  int bw, bh;
  page->ipFilterButton()->getPreferredSize(&bw, &bh);
  bw = std::max(76, bw);
  EXPECT_EQ(rfbField.height(), 22);
  EXPECT_EQ(button, rfb::Rect::at(rfb::Point(rfbField.br.x + 2 * u, u), bw, 26));
  EXPECT_EQ(accept.tl, rfb::Point(u, u + (22 - accept.height()) / 2));
  EXPECT_EQ(httpField,
            rfb::Rect::at(rfb::Point(rfbField.tl.x, u + 2 * u + 22), rfbField.width(), 22));
  rfb::Rect box = page->getChildRect(page->securityBox());
  EXPECT_EQ(button.br.x, box.br.x) << "the row ends with the box below";
  EXPECT_EQ(page->width(), box.width() + 2 * u);
  EXPECT_EQ(page->height(), box.br.y + u);
  EXPECT_EQ(page->guestChoice()->width(), page->encChoice()->width());
  EXPECT_STREQ(page->getTooltip(page->ipFilterButton()),
               "Configure IP addresses for access (advanced).");

  ASSERT_TRUE(x.pumpUntil([&] { return window.getImage() != nullptr; }));
  x.pumpFor(100);
  testing_support::screenshot(x, window.win(), "connectionspage");
}
