// The security box and the connection action row on a private X display,
// through a minimal page that offers "None" as the connection page does:
// the sixteen security rows written and read back, the items offered, the
// sub-dialogs behind "Configure...", the password check before OK and the
// repaired zero ports.
// gtest comes first: the X headers' macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "rfb/KeysymNames.h"
#include "serverconfig/ConnDlgBase.h"
#include "serverconfig/PasswordDialog.h"
#include "serverconfig/UnixAccessDialog.h"

#include "OptionsTestWorld.h"

#include "plat/Exception.h"
#include "serverconfig/tests/SecurityRows.h"
#include "zav/ConnAction.h"

#include <string>
#include <vector>

namespace {

using serverconfig::ConnDlgBase;
using serverconfig::UnixAccessDialog;

// The base with its controls in a row, offering "None" from the start.
class TestPage : public ConnDlgBase {
public:
  TestPage(Display* dpy, TXWParent* owner, serverconfig::OptionsDialog::Callback* callback,
           UnixAccessDialog* users, plat::ParameterSet* params, bool offerNone = true)
      : ConnDlgBase(dpy, owner, offerNone, callback, users, params, nullptr) {
    int labelHeight = placeActionRow(6, 2);
    wvw::WLayout* box = securityBox_.getContent();
    box->addChildAt(&authLabel_, rfb::Point(6, 2));
    box->addChildAt(&authChoice_, rfb::Point(6 + authLabel_.width() + 4, 2));
    box->addChildAt(&configureButton_,
                    rfb::Point(6 + authLabel_.width() + authChoice_.width() + 8, 2));
    box->addChildAt(&encLabel_, rfb::Point(6, 34));
    box->addChildAt(&encChoice_, rfb::Point(6 + authLabel_.width() + 4, 34));
    fitSecurityBox();
    addChildAt(&securityBox_, rfb::Point(2, 2 + labelHeight + 30));
    setSize(securityBox_.width() + 4, 2 + labelHeight + 30 + securityBox_.height() + 2);
    bindSecurity();
  }
};

using Row = testing_support::SecurityRow;
const auto& rows = testing_support::securityRows;
const char* const encTexts[] = {"Always maximum", "Always on", "Prefer on", "Prefer off"};
const char* const authTexts[] = {"None", "Zav password", "UNIX password", "Single sign-on"};

class ConnDlgBaseTest : public ::testing::Test {
protected:
  void SetUp() override {
    testing_support::testAppInit();
    server.passwordFile.setParam("/nonexistent-dir/passwd", 50);
    host = std::make_unique<TXDialog>(x.dpy, 10, 10, "Options", false, true);
    users = std::make_unique<UnixAccessDialog>(x.dpy, host.get(), &server.set);
  }
  void makePage(bool offerNone = true) {
    page =
        std::make_unique<TestPage>(x.dpy, host.get(), &owner, users.get(), &server.set, offerNone);
    host->content()->addChildAt(page.get(), rfb::Point(0, 0));
    host->setClientSize(page->width(), page->height(), false);
  }
  // Shows the page again, which loads it from the working set.
  void reload() {
    host->unmap();
    host->show();
  }
  // Chooses an item from a choice's menu, as a click on it does.
  void choose(wvw::WChoice* choice, int id) {
    wvw::WMenuItem* item = choice->getItem(id);
    ASSERT_NE(item, nullptr) << id;
    choice->onClick(item);
  }
  std::vector<std::string> menu(wvw::WChoice* choice) {
    std::vector<std::string> labels;
    for (int id = 0; id < 8; id++)
      if (wvw::WMenuItem* item = choice->getItem(id))
        labels.push_back(item->getLabel()->getText());
    return labels;
  }
  void click(wvw::Widget* w) { w->onClick(w); }

  testing_support::TxTestDisplay x{"1280x1024x24"};
  testing_support::ServerParameters server;
  testing_support::FakeOptionsOwner owner;
  std::unique_ptr<TXDialog> host;
  std::unique_ptr<UnixAccessDialog> users;
  std::unique_ptr<TestPage> page;
};

TEST_F(ConnDlgBaseTest, SixteenRowsAreWrittenAndReadBack) {
  server.ssoLib.setParam("libgssapi_krb5.so.2", 50);
  makePage();
  reload();
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(encTexts[r.enc]) + " / " + authTexts[r.auth]);
    choose(page->encChoice(), r.enc);
    choose(page->authChoice(), r.auth);
    EXPECT_EQ(server.text("SecurityTypes"), r.forward);
    EXPECT_EQ(server.text("ReverseSecurityTypes"), r.reverse);
    EXPECT_EQ(server.text("UserPasswdVerifier"), r.verifier);
    EXPECT_EQ(page->configureButton()->isEnabled(), r.auth != 0);

    // Read back from the parameters alone.
    page->encChoice()->setSelectedId(-1);
    page->authChoice()->setSelectedId(-1);
    reload();
    EXPECT_STREQ(page->encChoice()->getText(), encTexts[r.enc]);
    EXPECT_STREQ(page->authChoice()->getText(), authTexts[r.auth]);
    EXPECT_EQ(page->configureButton()->isEnabled(), r.auth != 0);
  }
}

TEST_F(ConnDlgBaseTest, ListsThatMatchNoRowShowNothingAndWriteNothing) {
  makePage();
  for (auto texts : {std::make_pair("ra2", "ZavAuth"), std::make_pair("RA2", "zavauth"),
                     std::make_pair("RA2,None", "None")}) {
    SCOPED_TRACE(texts.first);
    server.securityTypes.setParam(texts.first, 50);
    server.reverseSecurityTypes.setParam("RA2", 50);
    server.userPasswdVerifier.setParam(texts.second, 50);
    reload();
    EXPECT_STREQ(page->encChoice()->getText(), "");
    EXPECT_STREQ(page->authChoice()->getText(), "");
    EXPECT_FALSE(page->configureButton()->isEnabled());
    // One choice alone writes nothing.
    choose(page->encChoice(), 1);
    EXPECT_EQ(server.text("SecurityTypes"), texts.first);
    EXPECT_EQ(server.text("UserPasswdVerifier"), texts.second);
  }
  // The reverse list is not compared.
  server.securityTypes.setParam("RA2", 50);
  server.userPasswdVerifier.setParam("UnixAuth", 50);
  server.reverseSecurityTypes.setParam("anything", 50);
  reload();
  EXPECT_STREQ(page->authChoice()->getText(), "UNIX password");
}

TEST_F(ConnDlgBaseTest, SingleSignOnIsOfferedWhenLoadedOrConfigured) {
  makePage(false);
  reload();
  EXPECT_EQ(menu(page->authChoice()), (std::vector<std::string>{"Zav password", "UNIX password"}));
  server.securityTypes.setParam("SSO,RA2", 50);
  server.userPasswdVerifier.setParam("UnixAuth", 50);
  reload();
  EXPECT_STREQ(page->encChoice()->getText(), "Always on");
  EXPECT_STREQ(page->authChoice()->getText(), "Single sign-on");
  EXPECT_EQ(menu(page->authChoice()),
            (std::vector<std::string>{"Zav password", "UNIX password", "Single sign-on"}));
  server.securityTypes.setParam("RA2", 50);
  reload();
  EXPECT_EQ(menu(page->authChoice()), (std::vector<std::string>{"Zav password", "UNIX password"}));
  server.ssoLib.setParam("libgssapi_krb5.so.2", 50);
  reload();
  EXPECT_EQ(menu(page->authChoice()),
            (std::vector<std::string>{"Zav password", "UNIX password", "Single sign-on"}));
}

TEST_F(ConnDlgBaseTest, NoneStaysOfferedOnceLoaded) {
  makePage(false);
  reload();
  EXPECT_FALSE(page->offersNone());
  server.securityTypes.setParam("RA2", 50);
  server.userPasswdVerifier.setParam("None", 50);
  reload();
  EXPECT_TRUE(page->offersNone());
  EXPECT_STREQ(page->authChoice()->getText(), "None");
  EXPECT_FALSE(page->configureButton()->isEnabled());
  server.userPasswdVerifier.setParam("ZavAuth", 50);
  reload();
  EXPECT_STREQ(page->authChoice()->getText(), "Zav password");
  ASSERT_NE(page->authChoice()->getItem(0), nullptr);
  choose(page->authChoice(), 0);
  EXPECT_EQ(server.text("UserPasswdVerifier"), "None");
  EXPECT_FALSE(page->configureButton()->isEnabled());
}

TEST_F(ConnDlgBaseTest, ConfigureOpensTheDialogOfTheAuthentication) {
  server.securityTypes.setParam("RA2", 50);
  server.userPasswdVerifier.setParam("ZavAuth", 50);
  makePage();
  reload();
  EXPECT_TRUE(page->configureButton()->isEnabled());
  click(page->configureButton());
  ASSERT_TRUE(page->passwordDialog()->isMapped());
  EXPECT_TRUE(host->isInputDisabled());
  click(page->passwordDialog()->cancelButton());
  EXPECT_FALSE(page->passwordDialog()->isMapped());
  EXPECT_FALSE(host->isInputDisabled());

  choose(page->authChoice(), 2);
  click(page->configureButton());
  EXPECT_TRUE(users->isMapped());
  EXPECT_TRUE(host->isInputDisabled());
  click(users->okButton());
  EXPECT_FALSE(users->isMapped());
  EXPECT_FALSE(host->isInputDisabled());

  choose(page->authChoice(), 0);
  EXPECT_FALSE(page->configureButton()->isEnabled());
  // closeSubDialogs closes what is open, each ending with false.
  choose(page->authChoice(), 3 - 2);
  testing_support::RecordingFinish ends;
  click(page->configureButton());
  page->passwordDialog()->setCallback(&ends);
  page->closeSubDialogs();
  EXPECT_FALSE(page->passwordDialog()->isMapped());
  ASSERT_EQ(ends.ends.size(), 1u);
  EXPECT_FALSE(ends.ends[0].second);
}

TEST_F(ConnDlgBaseTest, AServerWithoutAPasswordBlocksZavAuthentication) {
  server.securityTypes.setParam("RA2", 50);
  server.userPasswdVerifier.setParam("ZavAuth", 50);
  makePage();
  reload();
  struct Case {
    const char* status; // null: the server gives no answer
    bool valid;
  } cases[] = {{nullptr, true}, {"1", true}, {"12", true}, {"0", false}, {"abc", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status ? c.status : "(none)");
    owner.status.clear();
    if (c.status)
      owner.status["has_zav_passwd"] = c.status;
    EXPECT_EQ(page->validate(), c.valid);
    EXPECT_EQ(page->noPasswordBox()->isMapped(), !c.valid);
    EXPECT_EQ(host->isInputDisabled(), !c.valid);
    if (!c.valid) {
      EXPECT_STREQ(page->noPasswordBox()->label()->getText(),
                   "The Zav authentication method is enabled, but no password is specified. The "
                   "password dialog will now be shown");
      // Closing the box opens the password dialog.
      click(page->noPasswordBox()->button(0));
      EXPECT_TRUE(page->passwordDialog()->isMapped());
      EXPECT_TRUE(host->isInputDisabled());
      click(page->passwordDialog()->cancelButton());
      EXPECT_FALSE(host->isInputDisabled());
    }
  }
  EXPECT_EQ(owner.asked, std::vector<std::string>(5, "has_zav_passwd"));
  // Other authentications do not ask.
  owner.status["has_zav_passwd"] = "0";
  choose(page->authChoice(), 2);
  EXPECT_TRUE(page->validate());
  EXPECT_EQ(owner.asked.size(), 5u);
}

TEST_F(ConnDlgBaseTest, TheActionRowLoadsAndWritesTheThreeSettings) {
  for (unsigned mode : {1u, 2u, 3u}) {
    SCOPED_TRACE(mode);
    owner.mode = mode;
    makePage();
    reload();
    unsigned count = 0;
    const std::uint32_t* actions = zav::ConnAction::list(mode, &count);
    std::vector<std::string> expected;
    for (unsigned i = 0; i < count; i++)
      expected.push_back(zav::ConnAction::name(mode, actions[i]));
    EXPECT_EQ(menu(page->actionChoice()), expected);
    EXPECT_STREQ(page->getTooltip(page->actionChoice()->getButton()),
                 zav::ConnAction::helpText(mode));
    for (unsigned i = 0; i < count; i++) {
      choose(page->actionChoice(), int(actions[i]));
      bool query = false, loggedOn = false;
      int timeout = 0;
      zav::ConnAction::toSettings(actions[i], &query, &loggedOn, &timeout);
      EXPECT_EQ(server.queryConnect.getValueInt(), query ? 1 : 0);
      EXPECT_EQ(server.queryOnlyIfLoggedOn.getValueInt(), loggedOn ? 1 : 0);
      EXPECT_EQ(server.connNotifyTimeout.getValueInt(), timeout);
      page->actionChoice()->setSelectedId(-1);
      reload();
      EXPECT_EQ(page->actionChoice()->getSelectedId(),
                int(zav::ConnAction::fromSettings(query, loggedOn, timeout)));
    }
    host->content()->removeChild(page.get());
    page.reset();
  }
}

TEST_F(ConnDlgBaseTest, ArrowKeysStoreWhatTheChoiceShowsAndLoadingStoresNothing) {
  makePage();
  reload();
  // The server's defaults are in force; showing the page wrote none of them.
  EXPECT_EQ(server.securityTypes.getPriority(), 100);
  EXPECT_EQ(server.queryConnect.getPriority(), 100);
  EXPECT_STREQ(page->encChoice()->getText(), "Always on");
  wvw::WText* field = page->encChoice()->getTextField();
  field->onKey(rfb::keys::Down, true, field); // Down
  EXPECT_STREQ(page->encChoice()->getText(), "Prefer on");
  EXPECT_EQ(server.text("SecurityTypes"), "RA2,RA2ne,ZavAuth");
  EXPECT_EQ(server.text("ReverseSecurityTypes"), "RA2,RA2ne,None");
  wvw::WText* action = page->actionChoice()->getTextField();
  action->onKey(rfb::keys::Down, true, action);
  int32_t chosen = page->actionChoice()->getSelectedId();
  bool query = false, loggedOn = false;
  int timeout = 0;
  zav::ConnAction::toSettings(unsigned(chosen), &query, &loggedOn, &timeout);
  EXPECT_EQ(server.connNotifyTimeout.getValueInt(), timeout);
  EXPECT_EQ(server.connNotifyTimeout.getPriority(), 50);
}

TEST_F(ConnDlgBaseTest, ZeroPortsSwitchTheirConnectionOff) {
  server.rfbPort.setParam("0", 100);
  server.httpPort.setParam("0", 100);
  makePage();
  EXPECT_EQ(server.text("AllowRFB"), "0");
  EXPECT_EQ(server.text("RfbPort"), "5900");
  EXPECT_EQ(server.text("AllowHTTP"), "0");
  EXPECT_EQ(server.text("HttpPort"), "5800");
  EXPECT_EQ(server.rfbPort.getPriority(), 50);
}

TEST_F(ConnDlgBaseTest, APageNeedsItsParameters) {
  plat::ParameterSet bare("Xzav");
  EXPECT_THROW(TestPage(x.dpy, host.get(), &owner, users.get(), &bare), plat::Exception);
}

} // namespace
