#include "plat/unix/Passwd.h"

#include "plat/Exception.h"

#include "NssWrapper.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <unistd.h>

using testing_support::runUnderNssWrapper;
using testing_support::underNssWrapper;

namespace {

// Restores the process-wide setting after each test.
class PasswdTest : public ::testing::Test {
protected:
  ~PasswdTest() override { os::Passwd::setMissingEntryThrows(false); }
};

void expectInvalidAccessorsThrow(const os::Passwd& p) {
  std::function<void()> accessors[] = {
      [&] { p.getName(); }, [&] { p.getPasswd(); },  [&] { p.getUid(); },
      [&] { p.getGid(); },  [&] { p.getHomeDir(); }, [&] { p.getShell(); },
  };
  for (auto& call : accessors) {
    try {
      call();
      ADD_FAILURE() << "accessor of an invalid entry did not throw";
    } catch (const plat::AssertionFail& e) {
      EXPECT_STREQ(e.expression(), "valid");
    }
  }
}

TEST_F(PasswdTest, LooksUpTheRealUserByIdAndByName) {
  os::Passwd byId(getuid());
  ASSERT_TRUE(byId.isValid());
  EXPECT_EQ(byId.getUid(), getuid());
  os::Passwd byName(byId.getName());
  ASSERT_TRUE(byName.isValid());
  EXPECT_EQ(byName.getUid(), getuid());
  EXPECT_STREQ(byName.getHomeDir(), byId.getHomeDir());
  EXPECT_EQ(byName.getGid(), byId.getGid());
  EXPECT_NE(byName.getShell(), nullptr);
  EXPECT_NE(byName.getPasswd(), nullptr);
}

TEST_F(PasswdTest, EntryNeverLookedUpIsNotValid) {
  os::Passwd p;
  EXPECT_FALSE(p.isValid());
  expectInvalidAccessorsThrow(p);
}

TEST_F(PasswdTest, NullNameFailsTheCheck) {
  os::Passwd p;
  try {
    p.lookupName(nullptr);
    FAIL() << "no exception";
  } catch (const plat::AssertionFail& e) {
    EXPECT_STREQ(e.expression(), "name != 0");
  }
}

TEST_F(PasswdTest, MissingUserLeavesTheEntryInvalidByDefault) {
  os::Passwd byName("zav-no-such-user");
  EXPECT_FALSE(byName.isValid());
  expectInvalidAccessorsThrow(byName);
  os::Passwd byId(static_cast<uid_t>(3999999));
  EXPECT_FALSE(byId.isValid());
  // A failed lookup also clears an entry that was valid.
  os::Passwd p(getuid());
  ASSERT_TRUE(p.isValid());
  p.lookupName("zav-no-such-user");
  EXPECT_FALSE(p.isValid());
}

TEST_F(PasswdTest, MissingUserThrowsWithErrorNumberZeroWhenSwitchedOn) {
  os::Passwd::setMissingEntryThrows(true);
  struct Case {
    std::function<void()> lookup;
    const char* message;
  } cases[] = {
      {[] { os::Passwd p("zav-no-such-user"); }, "getpwnam: Success (0)"},
      {[] { os::Passwd p(static_cast<uid_t>(3999999)); }, "getpwuid: Success (0)"},
  };
  for (const Case& c : cases) {
    try {
      c.lookup();
      ADD_FAILURE() << "no exception for " << c.message;
    } catch (const plat::SystemException& e) {
      EXPECT_EQ(e.getErrno(), 0);
      EXPECT_STREQ(e.str(), c.message);
    }
  }
  os::Passwd self(getuid());
  EXPECT_TRUE(self.isValid());
}

TEST_F(PasswdTest, HugeEntryIsFoundAfterTheBufferGrew) {
  std::string gecos(5000, 'g');
  std::string home = "/home/" + std::string(3000, 'h');
  if (!underNssWrapper())
    return runUnderNssWrapper("root:x:0:0:root:/root:/bin/sh\n"
                              "huge:x:4242:4343:" +
                                  gecos + ":" + home + ":/bin/zsh\n",
                              "root:x:0:\nhugegroup:x:4343:\n");
  os::Passwd byName("huge");
  ASSERT_TRUE(byName.isValid());
  EXPECT_EQ(byName.getUid(), 4242u);
  EXPECT_EQ(byName.getGid(), 4343u);
  EXPECT_EQ(std::string(byName.getHomeDir()), home);
  EXPECT_STREQ(byName.getShell(), "/bin/zsh");
  os::Passwd byId(4242);
  ASSERT_TRUE(byId.isValid());
  EXPECT_STREQ(byId.getName(), "huge");
}

} // namespace
