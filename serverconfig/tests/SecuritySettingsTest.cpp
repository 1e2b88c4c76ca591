// The security settings: the sixteen rows both ways, the items offered, the
// sticky "None", the password check and the repaired zero ports.
#include "serverconfig/SecuritySettings.h"

#include "plat/BoolParameter.h"
#include "plat/IntParameter.h"
#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"
#include "serverconfig/tests/SecurityRows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using serverconfig::SecuritySettings;

using Row = testing_support::SecurityRow;
const auto& rows = testing_support::securityRows;

class Security : public ::testing::Test {
protected:
  plat::ParameterSet params{"Xzav"};
  plat::StringParameter types{"SecurityTypes", "", "RA2", false, &params};
  plat::StringParameter reverse{"ReverseSecurityTypes", "", "RA2", false, &params};
  plat::StringParameter verifier{"UserPasswdVerifier", "", "ZavAuth", false, &params};
  plat::StringParameter ssoLib{"SSOLib", "", "", false, &params};

  std::vector<std::string> itemTexts(const SecuritySettings::Loaded& loaded) {
    std::vector<std::string> texts;
    for (auto& item : loaded.authenticationItems)
      texts.push_back(item.text);
    return texts;
  }
};

TEST_F(Security, SixteenRowsStoreAndLoadBack) {
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(SecuritySettings::encryptionText(row.enc)) + " / " +
                 SecuritySettings::authenticationText(row.auth));
    ASSERT_TRUE(SecuritySettings::store(params, row.enc, row.auth));
    EXPECT_STREQ(row.forward, types.getValueStr().c_str());
    EXPECT_STREQ(row.reverse, reverse.getValueStr().c_str());
    EXPECT_STREQ(row.verifier, verifier.getValueStr().c_str());
    EXPECT_EQ(50, types.getPriority());
    SecuritySettings settings(true);
    SecuritySettings::Loaded loaded = settings.load(params);
    EXPECT_EQ(row.enc, loaded.encryption);
    EXPECT_EQ(row.auth, loaded.authentication);
    EXPECT_EQ(row.auth != 0, loaded.configureEnabled);
  }
}

TEST_F(Security, ANoItemChoiceStoresNothing) {
  EXPECT_FALSE(SecuritySettings::store(params, SecuritySettings::noItem, 1));
  EXPECT_FALSE(SecuritySettings::store(params, 1, SecuritySettings::noItem));
  EXPECT_EQ(100, types.getPriority());
}

TEST_F(Security, UnknownListsShowNothing) {
  for (const char* text : {"ra2", "RA2, RA2ne", "PlainAuth"}) {
    types.setParam(text, 50);
    SecuritySettings::Loaded loaded = SecuritySettings(false).load(params);
    EXPECT_EQ(SecuritySettings::noItem, loaded.encryption) << text;
    EXPECT_EQ(SecuritySettings::noItem, loaded.authentication) << text;
    EXPECT_FALSE(loaded.configureEnabled);
  }
}

TEST_F(Security, ReverseListIsNotCompared) {
  reverse.setParam("anything", 50);
  EXPECT_EQ(1, SecuritySettings(false).load(params).encryption);
}

TEST_F(Security, SingleSignOnOfferedWhenLoadedOrConfigured) {
  using Texts = std::vector<std::string>;
  EXPECT_EQ((Texts{"Zav password", "UNIX password"}),
            itemTexts(SecuritySettings(false).load(params)));
  types.setParam("SSO,RA2", 50);
  verifier.setParam("UnixAuth", 50);
  SecuritySettings::Loaded loaded = SecuritySettings(false).load(params);
  EXPECT_EQ(1, loaded.encryption);
  EXPECT_EQ(3, loaded.authentication);
  EXPECT_EQ((Texts{"Zav password", "UNIX password", "Single sign-on"}), itemTexts(loaded));
  types.setParam("RA2", 50);
  ssoLib.setParam("libgssapi_krb5.so.2", 50);
  EXPECT_EQ((Texts{"Zav password", "UNIX password", "Single sign-on"}),
            itemTexts(SecuritySettings(false).load(params)));
  EXPECT_EQ((Texts{"Zav password", "UNIX password", "Single sign-on", "None"}),
            itemTexts(SecuritySettings(true).load(params)));
}

TEST_F(Security, NoneStaysOfferedOnceLoaded) {
  SecuritySettings basic(false);
  EXPECT_FALSE(basic.offerNone());
  verifier.setParam("None", 50);
  SecuritySettings::Loaded loaded = basic.load(params);
  EXPECT_EQ(0, loaded.authentication);
  EXPECT_FALSE(loaded.configureEnabled);
  EXPECT_TRUE(basic.offerNone());
  verifier.setParam("ZavAuth", 50);
  loaded = basic.load(params);
  EXPECT_EQ(1, loaded.authentication);
  EXPECT_EQ("None", std::string(loaded.authenticationItems.back().text));
}

TEST(SecurityPassword, HasZavPasswdZeroBlocksOnlyZavAuthentication) {
  struct Case {
    int auth;
    const char* reply;
    bool ok;
  } cases[] = {
      {1, "0", false},    {1, "x", false}, {1, "", false}, {1, "1", true},
      {1, nullptr, true}, {2, "0", true},  {0, "0", true}, {3, "0", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.ok, SecuritySettings::passwordPresent(c.auth, c.reply))
        << c.auth << " " << (c.reply ? c.reply : "(none)");
}

TEST(SecurityPorts, ZeroPortsSwitchTheConnectionOff) {
  plat::ParameterSet params{"Xzav"};
  plat::BoolParameter allowRfb{"AllowRFB", "", true, false, &params};
  plat::IntParameter rfbPort{"rfbport", "", 0, 0, 65535, false, &params};
  plat::BoolParameter allowHttp{"AllowHTTP", "", true, false, &params};
  plat::IntParameter httpPort{"httpport", "", 5801, 0, 65535, false, &params};
  SecuritySettings::repairZeroPorts(params);
  EXPECT_FALSE(allowRfb.getValue());
  EXPECT_EQ(5900, rfbPort.getValueInt());
  EXPECT_EQ(50, rfbPort.getPriority());
  EXPECT_TRUE(allowHttp.getValue());
  EXPECT_EQ(5801, httpPort.getValueInt());
  EXPECT_EQ(100, httpPort.getPriority());
}

} // namespace
