// The basic options page on a private X display: its layout, the one switch
// over AllowRfb and AllowHttp with its mixed state, the security box that
// follows the switch, and "None" offered only once the settings use it.
// gtest comes first: the X headers' macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/BasicOptionsDlg.h"
#include "serverconfig/PasswordDialog.h"
#include "serverconfig/UnixAccessDialog.h"

#include "OptionsTestWorld.h"

#include "ui/PropertiesDialog.h"

#include <string>

namespace {

using serverconfig::BasicOptionsDlg;
using serverconfig::UnixAccessDialog;

class BasicOptionsDlgTest : public ::testing::Test {
protected:
  void SetUp() override {
    testing_support::testAppInit();
    server.passwordFile.setParam("/nonexistent-dir/passwd", 50);
    host = std::make_unique<TXDialog>(x.dpy, 10, 10, "Options (User-Mode)", false, true);
    users = std::make_unique<UnixAccessDialog>(x.dpy, host.get(), &server.set);
    reference = std::make_unique<plat::ParameterSet>(server.set);
    page = std::make_unique<BasicOptionsDlg>(x.dpy, host.get(), &owner, users.get(), &server.set,
                                             reference.get());
    host->content()->addChildAt(page.get(), rfb::Point(0, 0));
    host->setClientSize(page->width(), page->height(), false);
  }
  void reload() {
    host->unmap();
    host->show();
  }
  void choose(wvw::WChoice* choice, int id) { choice->onClick(choice->getItem(id)); }
  wvw::WCheckBox* allow() { return page->allowCheck()->getCheckBox(); }
  bool securityEnabled() {
    return page->securityBox()->isEnabled() && page->authChoice()->isEnabled() &&
           page->encChoice()->isEnabled() && page->authLabel()->isEnabled() &&
           page->encLabel()->isEnabled();
  }

  testing_support::TxTestDisplay x{"1280x1024x24"};
  testing_support::ServerParameters server;
  testing_support::FakeOptionsOwner owner;
  std::unique_ptr<TXDialog> host;
  std::unique_ptr<UnixAccessDialog> users;
  std::unique_ptr<plat::ParameterSet> reference;
  std::unique_ptr<BasicOptionsDlg> page;
};

TEST_F(BasicOptionsDlgTest, LaysOutTheSwitchTheActionRowAndTheSecurityBox) {
  const int u = 2;
  rfb::Rect check = page->getChildRect(page->allowCheck());
  EXPECT_EQ(check.tl, rfb::Point(3 * u, u));
  int actionY = u + 2 * u + check.height();
  wvw::WLabel* actionLabel = page->actionLabel();
  rfb::Rect label = page->getChildRect(actionLabel);
  rfb::Rect choice = page->getChildRect(page->actionChoice());
  EXPECT_EQ(label.tl, rfb::Point(3 * u, actionY + (choice.height() - label.height()) / 2));
  EXPECT_EQ(choice.tl, rfb::Point(3 * u + label.width() + 2 * u, actionY));
  EXPECT_STREQ(actionLabel->getText(), "When Zav Viewers connect:");

  rfb::Rect box = page->getChildRect(page->securityBox());
  EXPECT_EQ(box.tl, rfb::Point(u, actionY + label.height() + 4 * u));
  EXPECT_EQ(page->width(), box.width() + 2 * u);
  EXPECT_EQ(page->height(), box.br.y + u);
  // The box is as wide as the action row; the choices took up the rest.
  int boxWidth, boxHeight;
  page->securityBox()->getPreferredSize(&boxWidth, &boxHeight);
  EXPECT_EQ(box.width(), boxWidth);
  wvw::WLayout* content = page->securityBox()->getContent();
  rfb::Rect auth = content->getChildRect(page->authChoice());
  rfb::Rect enc = content->getChildRect(page->encChoice());
  rfb::Rect configure = content->getChildRect(page->configureButton());
  rfb::Rect authLabel = content->getChildRect(page->authLabel());
  rfb::Rect encLabel = content->getChildRect(page->encLabel());
  EXPECT_EQ(authLabel.tl.x, 3 * u);
  EXPECT_EQ(auth.tl.x, 3 * u + authLabel.width() + 2 * u);
  EXPECT_EQ(configure.tl, rfb::Point(auth.br.x + 2 * u, u));
  EXPECT_GE(configure.width(), 76);
  // The box ends where the action row ends.
  EXPECT_EQ(page->getChildRect(page->securityBox()).br.x, choice.br.x);
  EXPECT_EQ(configure.height(), 26);
  EXPECT_EQ(encLabel.br.x, authLabel.br.x);
  EXPECT_EQ(enc.tl, rfb::Point(auth.tl.x, 3 * u + 26));
  int authWidth, encWidth, h;
  page->authChoice()->getPreferredSize(&authWidth, &h);
  page->encChoice()->getPreferredSize(&encWidth, &h);
  EXPECT_EQ(enc.width() - encWidth, auth.width() - authWidth);

  reload();
  ASSERT_TRUE(x.pumpUntil([&] { return host->getImage() != nullptr; }));
  x.pumpFor(100);
  testing_support::screenshot(x, host->win(), "basic-options-page");
}

TEST_F(BasicOptionsDlgTest, TheSwitchShowsBothParametersAndWritesBoth) {
  struct Case {
    const char *rfb, *http;
    bool checked, mixed, security;
  } cases[] = {
      {"1", "1", true, false, true},
      {"0", "0", false, false, false},
      {"1", "0", false, true, true},
      {"0", "1", false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.rfb) + c.http);
    server.allowRfb.setParam(c.rfb, 50);
    server.allowHttp.setParam(c.http, 50);
    reload();
    EXPECT_EQ(allow()->isIndeterminate(), c.mixed);
    EXPECT_EQ(!c.mixed && allow()->isChecked(), c.checked);
    EXPECT_EQ(securityEnabled(), c.security);
    // The action row follows no switch.
    EXPECT_TRUE(page->actionChoice()->isEnabled());
    // Showing the page changes neither parameter.
    EXPECT_EQ(server.text("AllowRFB"), c.rfb);
    EXPECT_EQ(server.text("AllowHTTP"), c.http);
  }
  // A click on the mixed switch sets both parameters alike.
  allow()->onClick(allow());
  EXPECT_EQ(server.text("AllowRFB"), server.text("AllowHTTP"));
  std::string first = server.text("AllowRFB");
  allow()->onClick(allow());
  EXPECT_NE(server.text("AllowRFB"), first);
  EXPECT_EQ(server.text("AllowRFB"), server.text("AllowHTTP"));
}

TEST_F(BasicOptionsDlgTest, UntickingTheSwitchDisablesTheSecurityBoxButNotTheActionRow) {
  server.securityTypes.setParam("RA2", 50);
  server.userPasswdVerifier.setParam("UnixAuth", 50);
  reload();
  ASSERT_TRUE(allow()->isChecked());
  EXPECT_TRUE(page->configureButton()->isEnabled());
  allow()->onClick(allow());
  EXPECT_EQ(server.text("AllowRFB"), "0");
  EXPECT_EQ(server.text("AllowHTTP"), "0");
  EXPECT_FALSE(securityEnabled());
  EXPECT_FALSE(page->configureButton()->isEnabled());
  EXPECT_TRUE(page->actionChoice()->isEnabled());
  allow()->onClick(allow());
  EXPECT_TRUE(securityEnabled());
  EXPECT_TRUE(page->configureButton()->isEnabled());

  // Ticking again enables "Configure..." only for an authentication with
  // something to configure.
  server.userPasswdVerifier.setParam("None", 50);
  reload();
  allow()->onClick(allow());
  allow()->onClick(allow());
  EXPECT_TRUE(securityEnabled());
  EXPECT_FALSE(page->configureButton()->isEnabled());
  server.securityTypes.setParam("unknown", 50);
  reload();
  allow()->onClick(allow());
  allow()->onClick(allow());
  EXPECT_FALSE(page->configureButton()->isEnabled());
}

TEST_F(BasicOptionsDlgTest, NoneIsOfferedOnlyOnceTheSettingsUseIt) {
  reload();
  EXPECT_EQ(page->authChoice()->getItem(0), nullptr);
  EXPECT_FALSE(page->offersNone());
  server.userPasswdVerifier.setParam("None", 50);
  reload();
  ASSERT_NE(page->authChoice()->getItem(0), nullptr);
  EXPECT_STREQ(page->authChoice()->getText(), "None");
  server.userPasswdVerifier.setParam("ZavAuth", 50);
  reload();
  EXPECT_NE(page->authChoice()->getItem(0), nullptr);
  EXPECT_STREQ(page->authChoice()->getText(), "Zav password");
  // The page's tooltip on its switch.
  EXPECT_STREQ(page->getTooltip(allow()),
               "Allow people to connect to your computer using Zav Viewer.");
}

// The page in a properties dialog whose validator asks it, as the options
// dialog does: "OK" with Zav password authentication and a server without a
// password applies nothing, keeps the window and explains why.
TEST_F(BasicOptionsDlgTest, OkIsRefusedWhileTheServerHasNoPassword) {
  struct Frame : ui::PropertiesDialog::Callback, ui::PropertiesDialog::Validator {
    BasicOptionsDlg* page = nullptr;
    int applied = 0;
    void apply() override { applied++; }
    void cancel() override {}
    bool validate(const ui::PropertiesDialog::Page&) override { return page->validate(); }
  } frame;
  frame.page = page.get();
  host->content()->removeChild(page.get());
  plat::BoolParameter advanced("AdvancedOptions", "", false);
  wvw::WLabel expert("Expert");
  ui::PropertiesDialog dialog(host.get(), {{page.get(), "Basic", "Basic Options", "", &frame}},
                              {{&expert, "Expert", "Advanced Options", "", nullptr}}, &advanced,
                              true, true);
  dialog.setCallback(&frame);
  int w, h;
  dialog.getPreferredSize(&w, &h);
  host->content()->addChildAt(&dialog, rfb::Point(0, 0));
  host->setClientSize(w, h, false);
  server.securityTypes.setParam("RA2", 50);
  server.userPasswdVerifier.setParam("ZavAuth", 50);
  owner.status["has_zav_passwd"] = "0";
  reload();
  ASSERT_TRUE(x.pumpUntil([&] { return host->getImage() != nullptr; }));
  x.pumpFor(100);
  testing_support::screenshot(x, host->win(), "basic-options-in-properties");
  dialog.getOkButton()->onClick(dialog.getOkButton());
  EXPECT_EQ(frame.applied, 0);
  EXPECT_TRUE(host->isMapped());
  EXPECT_TRUE(page->noPasswordBox()->isMapped());
  EXPECT_TRUE(host->isInputDisabled());
  ASSERT_TRUE(x.pumpUntil([&] { return page->noPasswordBox()->getImage() != nullptr; }));
  x.pumpFor(100);
  testing_support::screenshot(x, page->noPasswordBox()->win(), "basic-options-no-password");
  page->noPasswordBox()->onClick(page->noPasswordBox()->button(0));
  EXPECT_TRUE(page->passwordDialog()->isMapped());
  page->passwordDialog()->cancelButton()->onClick(page->passwordDialog()->cancelButton());
  EXPECT_FALSE(host->isInputDisabled());

  owner.status["has_zav_passwd"] = "1";
  dialog.getOkButton()->onClick(dialog.getOkButton());
  EXPECT_EQ(frame.applied, 1);
  EXPECT_FALSE(host->isMapped());
  host->content()->removeChild(&dialog);
}

} // namespace
