#include "plat/PlainPassword.h"

#include "plat/BinaryParameter.h"
#include "plat/ObfuscatedPassword.h"
#include "plat/ParameterSet.h"
#include "plat/StringUtils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

// Array allocations of this test program go through these, so a test can see
// what a block held at the moment it was released.
namespace {
const void* watchedBlock = nullptr;
size_t watchedLength = 0;
bool watchedSeen = false;
char watchedBytes[64];
} // namespace

void* operator new[](size_t size) {
  void* p = malloc(size ? size : 1);
  if (!p)
    throw std::bad_alloc();
  return p;
}

void operator delete[](void* p) noexcept {
  if (p && p == watchedBlock) {
    memcpy(watchedBytes, p, watchedLength);
    watchedSeen = true;
    watchedBlock = nullptr;
  }
  free(p);
}

void operator delete[](void* p, size_t) noexcept {
  operator delete[](p);
}

namespace {

void watch(const void* block, size_t length) {
  ASSERT_LE(length, sizeof watchedBytes);
  watchedBlock = block;
  watchedLength = length;
  watchedSeen = false;
}

bool releasedWiped() {
  if (!watchedSeen)
    return false;
  for (size_t i = 0; i < watchedLength; i++)
    if (watchedBytes[i] != 0)
      return false;
  return true;
}

TEST(PlainPassword, DestructionWipesTheText) {
  char* text = plat::strDup("hunter2!");
  {
    plat::PlainPassword p(text);
    watch(text, 8);
  }
  EXPECT_TRUE(releasedWiped());
}

TEST(PlainPassword, ReplacementAndMoveWipeTheOldText) {
  char* first = plat::strDup("first-secret");
  plat::PlainPassword p(first);
  watch(first, 12);
  p.replaceBuf(plat::strDup("second"));
  EXPECT_TRUE(releasedWiped());
  EXPECT_STREQ(p.get(), "second");

  char* held = p.buf();
  plat::PlainPassword q(plat::strDup("other"));
  watch(q.get(), 5);
  q = std::move(p);
  EXPECT_TRUE(releasedWiped());
  EXPECT_EQ(q.get(), held);
  EXPECT_TRUE(p.isNull());
}

TEST(PlainPassword, DecodedTextIsWipedToTheEndOfItsBuffer) {
  // The stored form of 16 bytes decodes into a 17-byte buffer; a text of 3
  // characters must leave nothing but zeros behind its terminator.
  plat::PlainPassword plain(plat::strDup("abc"));
  plat::ObfuscatedPassword obf(plain);
  plat::ObfuscatedPassword garbage(16);
  memcpy(garbage.data(), obf.data(), 8);
  memset(garbage.data() + 8, 0x5a, 8); // deciphers to noise
  {
    plat::PlainPassword decoded(garbage);
    EXPECT_STREQ(decoded.get(), "abc");
    watch(decoded.get(), 17);
  }
  EXPECT_TRUE(releasedWiped());
}

TEST(PlainPassword, ObfuscatedBytesAreWipedWhenCleared) {
  plat::PlainPassword plain(plat::strDup("abcdefghij"));
  plat::ObfuscatedPassword obf(plain);
  watch(obf.data(), 16);
  obf.clear();
  EXPECT_TRUE(releasedWiped());
}

TEST(PlainPassword, ObfuscatedPasswordInABinaryParameterIsWipedWhenReplacedOrUnset) {
  plat::ParameterSet set("PasswordTest", nullptr);
  plat::BinaryParameter param("Password", "test password", 0, nullptr, false, &set);
  const unsigned char first[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  param.setParamBinary(8, first, 50);
  watch(param.getValues().at(50).data(), 8);
  const unsigned char second[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  param.setParamBinary(8, second, 50);
  EXPECT_TRUE(releasedWiped());

  watch(param.getValues().at(50).data(), 8);
  param.unsetParam(50);
  EXPECT_TRUE(releasedWiped());
}

TEST(PlainPassword, LengthConstructorGivesAZeroedTerminatedBuffer) {
  plat::PlainPassword p(8);
  EXPECT_EQ(p.length(), 0);
  memset(p.buf(), 'x', 8);
  EXPECT_EQ(p.length(), 8);
  EXPECT_EQ(plat::PlainPassword().length(), 0);
}

TEST(PlainPassword, LongEnoughNeedsSixCharacters) {
  struct Case {
    const char* text;
    bool ok;
  } cases[] = {
      {nullptr, false}, {"", false}, {"12345", false}, {"123456", true}, {"1234567", true}};
  for (const Case& c : cases) {
    EXPECT_EQ(plat::passwordLongEnough(c.text), c.ok) << (c.text ? c.text : "(null)");
    plat::PlainPassword p(plat::strDup(c.text));
    EXPECT_EQ(plat::passwordLongEnough(p), c.ok);
  }
}

} // namespace
