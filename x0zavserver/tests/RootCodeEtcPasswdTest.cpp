// The password module over the user database: the work a refusal costs must
// not tell whether the user exists. The hashing library's crypt() is
// wrapped here, for this test program, to count what is hashed.
#include "x0zavserver/unix/RootCodeEtcPasswd.h"

#include "NssWrapper.h"
#include "ThrownMessage.h"
#include "x0zavserver/AuthFailureException.h"
#include "x0zavserver/unix/RootCode.h"

#include <gtest/gtest.h>

#include <crypt.h>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace {
std::vector<std::string> settingsHashed;
} // namespace

extern "C" char* crypt(const char* phrase, const char* setting) {
  static auto next =
      reinterpret_cast<char* (*)(const char*, const char*)>(dlsym(RTLD_NEXT, "crypt"));
  settingsHashed.push_back(setting);
  return next(phrase, setting);
}

namespace {

using testing_support::thrownMessage;

// The method of a hash: its "$id$" prefix.
std::string kindOf(const std::string& hash) {
  size_t second = hash.find('$', 1);
  return hash.empty() || hash[0] != '$' || second == std::string::npos ? hash
                                                                       : hash.substr(0, second + 1);
}

TEST(RootCodeEtcPasswd, UnknownUserCostsAHashOfTheSystemsKind) {
  settingsHashed.clear();
  std::string message =
      thrownMessage([] { zav::RootCodeEtcPasswd::instance().verify("zav-no-such-user", "guess"); });
  EXPECT_EQ(message, zav::RootCodeUPV::failureText);
  ASSERT_EQ(settingsHashed.size(), 1u) << "the password of an unknown user was not hashed";
  // A hash of a real method, with its cost, never a setting that fails at
  // once; the same method as the hashing library makes for new passwords.
  std::string kind = kindOf(settingsHashed[0]);
  char made[CRYPT_GENSALT_OUTPUT_SIZE];
  ASSERT_NE(crypt_gensalt_rn(nullptr, 0, nullptr, 0, made, sizeof made), nullptr);
  EXPECT_EQ(kind, kindOf(made)) << settingsHashed[0];
  EXPECT_GT(settingsHashed[0].size(), kind.size() + 20) << settingsHashed[0];
  // Every later unknown user costs the same single hash.
  settingsHashed.clear();
  EXPECT_THROW(zav::RootCodeEtcPasswd::instance().verify("zav-another-unknown", "x"),
               rfb::AuthFailureException);
  EXPECT_EQ(settingsHashed.size(), 1u);
}

TEST(RootCodeEtcPasswd, AccountsWithoutAPasswordHashCostAHashToo) {
  // Service accounts and users never given a password hold a marker, not a
  // hash: refusing them must cost what a wrong password costs, or they could
  // be told from unknown users.
  if (!testing_support::underNssWrapper())
    return testing_support::runUnderNssWrapper(
        "zavstar:*:4001:4001::/nonexistent:/bin/false\n"
        "zavbang:!:4002:4002::/nonexistent:/bin/false\n"
        "zavbangstar:!*:4003:4003::/nonexistent:/bin/false\n",
        "");
  char made[CRYPT_GENSALT_OUTPUT_SIZE];
  ASSERT_NE(crypt_gensalt_rn(nullptr, 0, nullptr, 0, made, sizeof made), nullptr);
  for (const char* user : {"zavstar", "zavbang", "zavbangstar"}) {
    settingsHashed.clear();
    std::string message =
        thrownMessage([user] { zav::RootCodeEtcPasswd::instance().verify(user, "guess"); });
    EXPECT_EQ(message, zav::RootCodeUPV::failureText) << user;
    ASSERT_FALSE(settingsHashed.empty()) << user;
    EXPECT_EQ(kindOf(settingsHashed.back()), kindOf(made)) << user << " " << settingsHashed.back();
    EXPECT_GT(settingsHashed.back().size(), kindOf(made).size() + 20) << settingsHashed.back();
  }
}

} // namespace
