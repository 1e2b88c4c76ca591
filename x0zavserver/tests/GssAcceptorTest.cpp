#include "x0zavserver/unix/GssAcceptor.h"

#include "GssStandIn.h"
#include "ThrownMessage.h"
#include "x0zavserver/AccessControl.h"
#include "x0zavserver/unix/AcceptorFactory.h"
#include "x0zavserver/unix/GssApi.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

namespace {

using testing_support::thrownMessage;

class GssAcceptorTest : public ::testing::Test {
protected:
  void SetUp() override { gssapi::GssApi::dllPath.setParam(standIn.library.c_str(), 50); }
  void TearDown() override {
    gssapi::GssApi::dllPath.setParam("", 50);
    zav::allowedUsers.setParam(":f", 50);
  }
  std::unique_ptr<zav::Session> step(sso::Acceptor& acceptor, const std::string& token,
                                     sso::OutputToken& out) {
    return acceptor.accept(int(token.size()), token.data(), out);
  }

  testing_support::GssStandIn standIn;
};

TEST_F(GssAcceptorTest, FactoryOffersKerberosOnly) {
  std::vector<std::string> packages;
  gssapi::AcceptorFactory::global.getPackages(packages);
  EXPECT_EQ(packages, std::vector<std::string>{"Kerberos"});
  EXPECT_EQ(thrownMessage([] { gssapi::AcceptorFactory::global.createAcceptor("kerberos"); }),
            "Unknown package \"kerberos\"");
  gssapi::GssApi::dllPath.setParam("", 50);
  EXPECT_EQ(thrownMessage([] { gssapi::AcceptorFactory::global.createAcceptor("Kerberos"); }),
            "GSS-API DLL not found");
}

TEST_F(GssAcceptorTest, ExchangeEndsInASessionWithRights) {
  zav::allowedUsers.setParam("dave:v,*:k", 50);
  std::unique_ptr<sso::Acceptor> acceptor =
      gssapi::AcceptorFactory::global.createAcceptor("Kerberos");
  char host[257] = {};
  gethostname(host, sizeof(host) - 1);
  EXPECT_STREQ(acceptor->getServiceName().c_str(), ("HOST/" + std::string(host)).c_str());

  sso::OutputToken out;
  EXPECT_EQ(step(*acceptor, "major=1;out=challenge", out), nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data.get()), out.length), "challenge#1");
  std::unique_ptr<zav::Session> session = step(*acceptor, "name=dave@ZAV.TEST;out=done", out);
  ASSERT_NE(session, nullptr);
  EXPECT_STREQ(session->user.c_str(), "dave@ZAV.TEST");
  // "dave" matches the name without its realm; "*" matches everyone.
  EXPECT_EQ(session->rights.value(), zav::Access::View | zav::Access::KeyEvents);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data.get()), out.length), "done#2");
}

TEST_F(GssAcceptorTest, FailedStepThrowsAndTheContextIsReleased) {
  {
    std::unique_ptr<sso::Acceptor> acceptor =
        gssapi::AcceptorFactory::global.createAcceptor("Kerberos");
    sso::OutputToken out;
    EXPECT_EQ(thrownMessage([&] { step(*acceptor, "major=60000;minor=3", out); }),
              "accept_sec_context: gss-60000: mech-3 (00060000:00000003)");
    EXPECT_GT(standIn.liveObjects(), 0);
  }
  EXPECT_EQ(standIn.liveObjects(), -1);
}

} // namespace
