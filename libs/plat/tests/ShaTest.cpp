#include "plat/Sha.h"

#include "ShaVectors.h"

#include <gtest/gtest.h>

using testing_support::toHex;

namespace {

TEST(Sha, DigestOfPiecesIntoAShortBuffer) {
  struct Case {
    int bits;
    const char* abc;
  } cases[] = {
      {160, "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {224, "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
      {256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
  };
  for (const Case& c : cases) {
    crypto::Sha sha(c.bits);
    sha.update(1, "a");
    sha.update(0, "ignored");
    sha.update(2, "bc");
    plat::MBuf<unsigned char> buffer(10);
    sha.final(buffer);
    ASSERT_EQ(buffer.size(), c.bits / 8);
    EXPECT_EQ(toHex(buffer.data(), buffer.size()), c.abc) << c.bits;
  }
}

TEST(Sha, LongerBufferIsCutToTheDigestLength) {
  crypto::Sha sha(256);
  plat::MBuf<unsigned char> buffer(100);
  sha.final(buffer);
  EXPECT_EQ(buffer.size(), 32);
  EXPECT_EQ(toHex(buffer.data(), 32),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(ShaDeathTest, OtherDigestLengthsAreFatal) {
  for (int bits : {0, 20, 384, 512})
    EXPECT_DEATH(crypto::Sha sha(bits),
                 "Assertion 'digestBits == 160 \\|\\| digestBits == 224 \\|\\| digestBits == 256' "
                 "failed at Sha.cpp")
        << bits;
}

} // namespace
