#include "plat/Sha2Context.h"

#include "ShaVectors.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>
#include <vector>

using testing_support::fipsMessages;
using testing_support::toHex;

namespace {

struct Variant {
  const char* name;
  int bytes;
  void (*oneShot)(unsigned char*, const void*, size_t);
  void (*begin)(crypto::Sha2Context*);
  void (*final)(unsigned char*, crypto::Sha2Context*);
  const EVP_MD* (*reference)();
  const char* expected[testing_support::fipsMessageCount];
};

const Variant variants[] = {
    {"SHA-224",
     28,
     crypto::sha224,
     crypto::sha224Begin,
     crypto::sha224Final,
     EVP_sha224,
     {"23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7",
      "d14a028c2a3a2bc9476102bb288234c415a2b01f828ea62ac5b3e42f",
      "75388b16512776cc5dba5da1fd890150b0c6455cb4f58b1952522525",
      "c97ca9a559850ce97a04a96def6d99a9e0e0e2ab14e6b8df265fc0b3",
      "20794655980c91d8bbb4c1ea97618a4bf03f42581948b2ee4ee7ad67"}},
    {"SHA-256",
     32,
     crypto::sha256,
     crypto::sha256Begin,
     crypto::sha256Final,
     EVP_sha256,
     {"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
      "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
      "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
      "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1",
      "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}},
    {"SHA-384",
     48,
     crypto::sha384,
     crypto::sha384Begin,
     crypto::sha384Final,
     EVP_sha384,
     {"cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c"
      "825a7",
      "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f1489"
      "8b95b",
      "3391fdddfc8dc7393707a65b1b4709397cf8b1d162af05abfe8f450de5f36bc6b0455a8520bc4e6f5fe95b1fe3c"
      "8452b",
      "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa917"
      "46039",
      "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc38ecc4ebae97ddd87f3"
      "d8985"}},
    {"SHA-512",
     64,
     crypto::sha512,
     crypto::sha512Begin,
     crypto::sha512Final,
     EVP_sha512,
     {"ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3f"
      "eebbd454d4423643ce80e2a9ac94fa54ca49f",
      "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877"
      "eec2f63b931bd47417a81a538327af927da3e",
      "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c33596fd15c13b1b07f9aa1d3bea577"
      "89ca031ad85c7a71dd70354ec631238ca3445",
      "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99dec4b"
      "5433ac7d329eeb6dd26545e96e55b874be909",
      "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432ce57"
      "7c31beb009c5c2c49aa2e4eadb217ad8cc09b"}},
};

TEST(Sha2, FipsVectorsThroughEveryEntry) {
  for (const Variant& v : variants) {
    for (int i = 0; i < testing_support::fipsMessageCount; i++) {
      const auto& m = fipsMessages()[i];
      unsigned char digest[64];
      v.oneShot(digest, m.message.data(), m.message.size());
      EXPECT_EQ(toHex(digest, v.bytes), v.expected[i]) << v.name << " " << m.name;

      // The dispatching one-shot, by bytes and by bits.
      for (int selector : {v.bytes, v.bytes * 8}) {
        unsigned char d2[64];
        ASSERT_EQ(crypto::sha2(d2, selector, m.message.data(), m.message.size()), 0);
        EXPECT_EQ(toHex(d2, v.bytes), v.expected[i]) << v.name << " via " << selector;
      }

      crypto::Sha2Context ctx;
      v.begin(&ctx);
      crypto::sha2Update(m.message.data(), m.message.size(), &ctx);
      unsigned char d3[64];
      v.final(d3, &ctx);
      EXPECT_EQ(toHex(d3, v.bytes), v.expected[i]) << v.name << " incremental";
    }
  }
}

TEST(Sha2, AgreesWithOpenSslForEveryLengthUpTo300AndAnySplit) {
  std::mt19937 rng(1802);
  for (const Variant& v : variants) {
    for (size_t len = 0; len <= 300; len++) {
      std::vector<unsigned char> data(len);
      for (auto& b : data)
        b = static_cast<unsigned char>(rng());
      unsigned char ref[EVP_MAX_MD_SIZE];
      unsigned refLen = 0;
      ASSERT_EQ(EVP_Digest(data.data(), len, ref, &refLen, v.reference(), nullptr), 1);
      ASSERT_EQ(refLen, static_cast<unsigned>(v.bytes));

      unsigned char oneShot[64];
      v.oneShot(oneShot, data.data(), len);
      EXPECT_EQ(toHex(oneShot, v.bytes), toHex(ref, v.bytes)) << v.name << " length " << len;

      crypto::Sha2Context ctx;
      ASSERT_EQ(crypto::sha2Begin(v.bytes, &ctx), 0);
      size_t at = 0;
      while (at < len) {
        size_t piece = std::min<size_t>(rng() % 140, len - at);
        crypto::sha2Update(data.data() + at, piece, &ctx);
        at += piece;
      }
      unsigned char pieces[64];
      crypto::sha2Final(pieces, &ctx);
      EXPECT_EQ(toHex(pieces, v.bytes), toHex(ref, v.bytes))
          << v.name << " length " << len << " in pieces";
    }
  }
}

TEST(Sha2, BeginRefusesOtherLengthsAndLeavesTheContext) {
  for (int bad : {0, 20, 160, 27, 33, 63, 65, 1024, -32}) {
    crypto::Sha2Context ctx;
    ctx.digestLength = 12345;
    EXPECT_EQ(crypto::sha2Begin(bad, &ctx), 1) << bad;
    EXPECT_EQ(ctx.digestLength, 12345) << bad;
    unsigned char digest[64] = {0};
    EXPECT_EQ(crypto::sha2(digest, bad, "abc", 3), 1) << bad;
    EXPECT_EQ(toHex(digest, 64), std::string(128, '0')) << bad;
  }
}

TEST(Sha2, EmptyUpdateWithoutDataAfterAPartialBlockChangesNothing) {
  for (int bytes : {28, 32, 48, 64}) {
    unsigned char expected[64];
    ASSERT_EQ(crypto::sha2(expected, bytes, "abc", 3), 0);
    crypto::Sha2Context ctx;
    ASSERT_EQ(crypto::sha2Begin(bytes, &ctx), 0);
    crypto::sha2Update("abc", 3, &ctx);
    crypto::sha2Update(nullptr, 0, &ctx);
    unsigned char digest[64];
    crypto::sha2Final(digest, &ctx);
    EXPECT_EQ(toHex(digest, bytes), toHex(expected, bytes)) << bytes;
  }
}

} // namespace
