#include "plat/ObfuscatedPassword.h"

#include "plat/Exception.h"
#include "plat/PlainPassword.h"
#include "plat/StringUtils.h"

#include "OpenSslDes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using testing_support::Bytes;
using testing_support::obfuscatedPasswordOracle;

namespace {

Bytes bytesOf(const plat::ObfuscatedPassword& p) {
  return Bytes(p.data(), p.data() + p.length());
}

TEST(ObfuscatedPassword, MatchesTheOpenSslOracleAndReadsBack) {
  struct Case {
    const char* text;
    int length;
  } cases[] = {
      {"", 8},
      {"a", 8},
      {"hello", 8},
      {"abcdefgh", 8},
      {"abcdefghi", 16},
      {"caf\xc3\xa9", 12},                 // UTF-8 e-acute
      {"p\xe9", 12},                       // Latin-1 byte 0xE9
      {"\xe2\x82\xac uro-pass-word!", 28}, // 20 bytes with U+20AC
      {"0123456789abcdef0123456789abcdef", 32},
  };
  for (const Case& c : cases) {
    plat::PlainPassword plain(plat::strDup(c.text));
    plat::ObfuscatedPassword obf(plain);
    EXPECT_EQ(obf.length(), c.length) << c.text;
    EXPECT_EQ(bytesOf(obf), obfuscatedPasswordOracle(c.text)) << c.text;
    plat::PlainPassword back(obf);
    EXPECT_STREQ(back.get(), c.text);
  }
}

TEST(ObfuscatedPassword, DecodingRefusesBadLengths) {
  struct Case {
    Bytes bytes;
    bool ok;
  } cases[] = {
      {Bytes(7, 1), false},
      {Bytes(1, 1), false},
      {Bytes(9, 1), false},
      {Bytes{1, 2, 3, 4, 5, 6, 7, 8, 'U', 'T', 'F', '9'}, false},
      {Bytes{1, 2, 3, 4, 5, 6, 7, 8, 'U', 'T', 'F', '8'}, true},
      {Bytes{'U', 'T', 'F', '8'}, true},
      {Bytes(16, 0), true},
      {Bytes(), true},
  };
  for (const Case& c : cases) {
    plat::ObfuscatedPassword obf(c.bytes.data(), static_cast<int>(c.bytes.size()));
    if (c.ok) {
      EXPECT_NO_THROW(plat::PlainPassword p(obf)) << c.bytes.size();
    } else {
      try {
        plat::PlainPassword p(obf);
        ADD_FAILURE() << "accepted " << c.bytes.size() << " bytes";
      } catch (const plat::Exception& e) {
        EXPECT_STREQ(e.str(), "bad obfuscated password length");
      }
    }
  }
  plat::PlainPassword empty{plat::ObfuscatedPassword()};
  EXPECT_STREQ(empty.get(), "");
}

TEST(ObfuscatedPassword, LengthConstructorCopyAndClear) {
  plat::ObfuscatedPassword zeros(16);
  ASSERT_EQ(zeros.length(), 16);
  for (int i = 0; i < 16; i++)
    EXPECT_EQ(zeros.data()[i], 0);
  plat::PlainPassword plain(plat::strDup("secret"));
  plat::ObfuscatedPassword a(plain);
  plat::ObfuscatedPassword b(a);
  EXPECT_EQ(bytesOf(a), bytesOf(b));
  zeros = a;
  EXPECT_EQ(bytesOf(zeros), bytesOf(a));
  a.clear();
  EXPECT_EQ(a.length(), 0);
  EXPECT_EQ(a.data(), nullptr);
  a.assign(plain);
  EXPECT_EQ(bytesOf(a), bytesOf(b));
  EXPECT_THROW(plat::ObfuscatedPassword(-1), plat::AssertionFail);
}

TEST(ObfuscatedPassword, NullPlainPasswordEncodesAsEmpty) {
  plat::PlainPassword none;
  plat::ObfuscatedPassword obf(none);
  EXPECT_EQ(bytesOf(obf), obfuscatedPasswordOracle(""));
}

} // namespace
