#include "x0zavserver/AccessControl.h"

#include "CaptureLogger.h"
#include "TestUsers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace zav::Access;
using testing_support::TestUsers;

class AccessControlTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(geteuid(), 0u) << "needs root to create users";
    group = users.addGroup("zavgr");
    alice = users.addUser("zavaa", "", group);
    bob = users.addUser("zavbb", "");
  }
  void TearDown() override { set(":f", ""); }

  static void set(const std::string& u, const std::string& g) {
    zav::allowedUsers.setParam(u.c_str(), 100);
    zav::allowedGroups.setParam(g.c_str(), 100);
  }

  TestUsers users;
  std::string group, alice, bob;
};

TEST_F(AccessControlTest, Table) {
  // alice: primary group alice, secondary group `group`; bob: primary group
  // bob only. The tests run as root, the user who runs the server.
  struct Case {
    std::string users, groups, who;
    unsigned expected;
  } cases[] = {
      {":f", "", "root", Full},
      {":f", "", alice, NoAccess},
      {":f", "", "nosuchuser", NoAccess},
      {"*:v", "", alice, View},
      {"*:v", "", "nosuchuser", View},
      {"*:v," + alice + ":k", "", alice, View | KeyEvents},
      {alice + ":", group + ":f", alice, Full},
      {alice, "", alice, Default},
      {alice + ":v", "", alice + "@EXAMPLE.ORG", View},
      {alice + "@EXAMPLE.ORG:k," + bob + ":v", "", alice + "@EXAMPLE.ORG", KeyEvents},
      {"*:v", "", alice + "@EXAMPLE.ORG", View},
      {":q", "", "root@EXAMPLE.ORG", NoQuery},
      {"", alice + ":t", alice, FileTransfer}, // primary group
      {"", group + ":c", alice, CutText},      // secondary group
      {"", group + ":c", bob, NoAccess},
      {"", "*:f", alice, NoAccess}, // no wildcard among groups
      {"", "nosuchgroup:f," + bob + ":p", bob, PtrEvents},
      {" " + alice + ":v", "", alice, NoAccess}, // nothing is trimmed
      {",," + bob + ":h", "", bob, Chat},
  };
  for (const Case& c : cases) {
    set(c.users, c.groups);
    EXPECT_EQ(zav::getRights(c.who.c_str()).value(), c.expected)
        << "users=" << c.users << " groups=" << c.groups << " who=" << c.who;
  }
}

TEST_F(AccessControlTest, BadLetterIsAnError) {
  set(alice + ":vz", "");
  EXPECT_THROW(zav::getRights(alice.c_str()), Rights::BadAccessException);
  set("", group + ":x");
  EXPECT_THROW(zav::getRights(alice.c_str()), Rights::BadAccessException);
}

TEST_F(AccessControlTest, LogsTheDefaultGroup) {
  testing_support::ScopedCapture cap("AccessControl", 100);
  ASSERT_TRUE(cap.found());
  zav::getRights(alice.c_str());
  EXPECT_TRUE(cap.logger.contains("Default group is " + alice));
  zav::getRights("nosuchuser");
  EXPECT_TRUE(cap.logger.contains("Unable to get default group info for nosuchuser"));
}

} // namespace
