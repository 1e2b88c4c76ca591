#include "plat/Sha1Context.h"

#include "ShaVectors.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>
#include <vector>

using testing_support::fipsMessages;
using testing_support::toHex;

namespace {

TEST(Sha1, FipsVectors) {
  const char* expected[testing_support::fipsMessageCount] = {
      "a9993e364706816aba3e25717850c26c9cd0d89d", "da39a3ee5e6b4b0d3255bfef95601890afd80709",
      "84983e441c3bd26ebaae4aa1f95129e5e54670f1", "a49b2446a02c645bf419f995b67091253a04a259",
      "34aa973cd4c4daa4f61eeb2bdbad27316534016f",
  };
  for (int i = 0; i < testing_support::fipsMessageCount; i++) {
    const auto& m = fipsMessages()[i];
    unsigned char digest[crypto::sha1DigestLength];
    crypto::sha1(digest, m.message.data(), m.message.size());
    EXPECT_EQ(toHex(digest, sizeof(digest)), expected[i]) << m.name;
  }
}

TEST(Sha1, AgreesWithOpenSslForEveryLengthUpTo300AndAnySplit) {
  std::mt19937 rng(1801);
  for (size_t len = 0; len <= 300; len++) {
    std::vector<unsigned char> data(len);
    for (auto& b : data)
      b = static_cast<unsigned char>(rng());
    unsigned char ref[EVP_MAX_MD_SIZE];
    unsigned refLen = 0;
    ASSERT_EQ(EVP_Digest(data.data(), len, ref, &refLen, EVP_sha1(), nullptr), 1);
    ASSERT_EQ(refLen, 20u);

    unsigned char oneShot[20];
    crypto::sha1(oneShot, data.data(), len);
    EXPECT_EQ(toHex(oneShot, 20), toHex(ref, 20)) << "length " << len;

    // The same bytes in pieces of random sizes, including empty pieces.
    crypto::Sha1Context ctx;
    crypto::sha1Begin(&ctx);
    size_t at = 0;
    while (at < len) {
      size_t piece = std::min<size_t>(rng() % 70, len - at);
      crypto::sha1Update(data.data() + at, piece, &ctx);
      at += piece;
    }
    unsigned char pieces[20];
    crypto::sha1Final(pieces, &ctx);
    EXPECT_EQ(toHex(pieces, 20), toHex(ref, 20)) << "length " << len << " in pieces";
  }
}

TEST(Sha1, ByteByByteEqualsOneCall) {
  const std::string& m = fipsMessages()[3].message;
  crypto::Sha1Context ctx;
  crypto::sha1Begin(&ctx);
  for (char c : m)
    crypto::sha1Update(&c, 1, &ctx);
  unsigned char a[20], b[20];
  crypto::sha1Final(a, &ctx);
  crypto::sha1(b, m.data(), m.size());
  EXPECT_EQ(toHex(a, 20), toHex(b, 20));
}

} // namespace

TEST(Sha1, EmptyUpdateWithoutDataAfterAPartialBlockChangesNothing) {
  unsigned char expected[20];
  crypto::sha1(expected, "abc", 3);
  crypto::Sha1Context ctx;
  crypto::sha1Begin(&ctx);
  crypto::sha1Update("abc", 3, &ctx);
  crypto::sha1Update(nullptr, 0, &ctx);
  unsigned char digest[20];
  crypto::sha1Final(digest, &ctx);
  EXPECT_EQ(toHex(digest, 20), toHex(expected, 20));
}
