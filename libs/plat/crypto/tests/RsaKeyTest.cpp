#include "plat/crypto/RsaKey.h"

#include "FeedInStream.h"
#include "OpenSslRsa.h"
#include "plat/crypto/RsaException.h"
#include "rdr/Exception.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testing_support;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes written(const rdr::MemOutStream& out) {
  rdr::MemOutStream& o = const_cast<rdr::MemOutStream&>(out);
  return Bytes(o.data(), o.data() + o.length());
}

// One 2048-bit OpenSSL key for the whole file: generation is slow.
class RsaKeyTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { key2048 = opensslGenerateRsa(2048).release(); }
  static void TearDownTestSuite() { EVP_PKEY_free(key2048); }

  // Our key holding the OpenSSL key's public half.
  static void loadPublic(crypto::RsaKey& key, EVP_PKEY* from) {
    Bytes form = opensslPublicForm(from);
    rdr::MemInStream in(form.data(), static_cast<int>(form.size()));
    ASSERT_TRUE(key.readPublic(in));
  }

  static EVP_PKEY* key2048;
};
EVP_PKEY* RsaKeyTest::key2048 = nullptr;

TEST_F(RsaKeyTest, PublicFormFedOneByteAtATimeAndWrittenBack) {
  Bytes form = opensslPublicForm(key2048);
  ASSERT_EQ(form.size(), 4u + 256 + 256);
  // e = 65537 is 253 zero bytes and 01 00 01.
  EXPECT_EQ(Bytes(form.begin() + 4 + 256, form.begin() + 4 + 256 + 253), Bytes(253, 0));
  EXPECT_EQ(Bytes(form.end() - 3, form.end()), (Bytes{0x01, 0x00, 0x01}));

  crypto::RsaKey key;
  FeedInStream in(64); // a buffer far smaller than the key
  EXPECT_FALSE(key.readPublic(in));
  for (size_t i = 0; i < form.size(); i++) {
    in.feed(&form[i], 1);
    bool done = key.readPublic(in);
    ASSERT_EQ(done, i + 1 == form.size()) << "after byte " << i;
  }
  EXPECT_TRUE(key.hasKey());
  EXPECT_EQ(key.getBits(), 2048);
  EXPECT_EQ(key.getSize(), 256);

  rdr::MemOutStream out;
  key.writePublic(out);
  EXPECT_EQ(written(out), form);

  // The next read starts a new key.
  in.feed(form);
  EXPECT_TRUE(key.readPublic(in));
  EXPECT_EQ(key.getBits(), 2048);
}

TEST_F(RsaKeyTest, AnnouncedLengthIsCheckedBeforeAnythingIsAllocated) {
  Pkey key512 = opensslGenerateRsa(512);
  Bytes valid512 = opensslPublicForm(key512.get());
  Bytes valid2048 = opensslPublicForm(key2048);
  // A 2048-bit announcement over a modulus with a leading zero byte.
  Bytes shortModulus = valid2048;
  shortModulus[4] = 0;

  struct Case {
    const char* name;
    Bytes form;
    bool accepted;
  } cases[] = {
      {"512 bits", valid512, true},
      {"2048 bits", valid2048, true},
      {"511 bits", {0, 0, 0x01, 0xff}, false},
      {"0 bits", {0, 0, 0, 0}, false},
      {"16385 bits", {0, 0, 0x40, 0x01}, false},
      {"2^32 - 1 bits", {0xff, 0xff, 0xff, 0xff}, false},
      {"modulus shorter than announced", shortModulus, false},
  };
  for (const Case& c : cases) {
    crypto::RsaKey key;
    FeedInStream in;
    in.feed(c.form);
    if (c.accepted) {
      EXPECT_TRUE(key.readPublic(in)) << c.name;
    } else {
      try {
        key.readPublic(in);
        ADD_FAILURE() << c.name << " was accepted";
      } catch (crypto::RsaException& e) {
        EXPECT_STREQ(e.str(), "Unsupported RSA key length") << c.name;
      }
      EXPECT_FALSE(key.hasKey()) << c.name;
    }
  }

  // The largest length is taken and waits for its numbers.
  crypto::RsaKey key;
  FeedInStream in;
  in.feed(Bytes{0, 0, 0x40, 0x00, 0xc0});
  EXPECT_FALSE(key.readPublic(in));
}

TEST_F(RsaKeyTest, OurEncryptedBlockDecryptsWithOpenSslsPrivateKey) {
  crypto::RsaKey key;
  loadPublic(key, key2048);
  for (size_t length : {0, 1, 48, 245}) {
    Bytes plain(length);
    for (size_t i = 0; i < length; i++)
      plain[i] = static_cast<std::uint8_t>(i * 7 + 1);
    rdr::MemOutStream out;
    key.publicEncrypt(out, static_cast<int>(length), plain.data());
    Bytes block = written(out);
    ASSERT_EQ(block.size(), 2u + 256) << length;
    EXPECT_EQ(block[0], 0x01);
    EXPECT_EQ(block[1], 0x00);
    EXPECT_EQ(opensslPrivateDecrypt(key2048, Bytes(block.begin() + 2, block.end())), plain)
        << length;
  }
}

TEST_F(RsaKeyTest, EncryptingMoreThanThePaddingLeavesRoomForFails) {
  crypto::RsaKey key;
  loadPublic(key, key2048);
  Bytes plain(246, 0x55);
  rdr::MemOutStream out;
  try {
    key.publicEncrypt(out, static_cast<int>(plain.size()), plain.data());
    FAIL() << "246 bytes were encrypted";
  } catch (crypto::RsaException& e) {
    EXPECT_EQ(std::string(e.str()).rfind("RSA encrypt/sign error: ", 0), 0u) << e.str();
  }
  EXPECT_EQ(out.length(), 0);
}

TEST_F(RsaKeyTest, PublicDecryptRecoversOpenSslsSignatureFedByteByByte) {
  crypto::RsaKey key;
  loadPublic(key, key2048);
  Bytes data = {'s', 'i', 'g', 'n', 'e', 'd'};
  Bytes signature = opensslPrivateSign(key2048, data);
  ASSERT_EQ(signature.size(), 256u);
  Bytes block = {0x01, 0x00};
  block.insert(block.end(), signature.begin(), signature.end());

  FeedInStream in(16);
  plat::MBuf<unsigned char> result;
  for (size_t i = 0; i < block.size(); i++) {
    in.feed(&block[i], 1);
    ASSERT_EQ(key.publicDecrypt(in, result), i + 1 == block.size()) << "after byte " << i;
  }
  EXPECT_EQ(Bytes(result.data(), result.data() + result.size()), data);
}

TEST_F(RsaKeyTest, BadBlocksAreRefused) {
  crypto::RsaKey key;
  loadPublic(key, key2048);
  struct Case {
    const char* name;
    Bytes block;
    const char* message;
  } cases[] = {
      {"short length", Bytes(2 + 255, 0x11),
       "RSA decrypt/check error: bad length 4369 (should be 256)"},
      {"length 255",
       [] {
         Bytes b(2 + 255, 0x22);
         b[0] = 0;
         b[1] = 255;
         return b;
       }(),
       "RSA decrypt/check error: bad length 255 (should be 256)"},
      {"not a signature",
       [] {
         Bytes b(2 + 256, 0x33);
         b[0] = 1;
         b[1] = 0;
         return b;
       }(),
       "RSA decrypt/check error: "},
  };
  for (const Case& c : cases) {
    rdr::MemInStream in(c.block.data(), static_cast<int>(c.block.size()));
    plat::MBuf<unsigned char> result;
    try {
      key.publicDecrypt(in, result);
      ADD_FAILURE() << c.name << " was accepted";
    } catch (crypto::RsaException& e) {
      EXPECT_EQ(std::string(e.str()).rfind(c.message, 0), 0u) << c.name << ": " << e.str();
    }
  }
}

TEST_F(RsaKeyTest, SetPublicFromCopiesOnlyThePublicHalf) {
  crypto::RsaKey key, copy;
  loadPublic(key, key2048);
  copy.setPublicFrom(key);
  EXPECT_EQ(copy.getBits(), 2048);
  EXPECT_EQ(BN_cmp(copy.getNumber(crypto::RsaKey::N), key.getNumber(crypto::RsaKey::N)), 0);
  EXPECT_EQ(BN_get_word(copy.getNumber(crypto::RsaKey::E)), 65537u);
  EXPECT_EQ(copy.getNumber(crypto::RsaKey::D), nullptr);
  key.clear();
  EXPECT_FALSE(key.hasKey());
  EXPECT_EQ(key.getBits(), 0);
  EXPECT_TRUE(copy.hasKey());
}

TEST_F(RsaKeyTest, OperationsWithoutAKeyFail) {
  crypto::RsaKey key;
  rdr::MemOutStream out;
  EXPECT_THROW(key.publicEncrypt(out, 1, "x"), crypto::RsaException);
  Bytes block(258, 0);
  rdr::MemInStream in(block.data(), static_cast<int>(block.size()));
  plat::MBuf<unsigned char> result;
  EXPECT_THROW(key.publicDecrypt(in, result), crypto::RsaException);
  EXPECT_THROW(key.writePublic(out), plat::AssertionFail);
}

TEST_F(RsaKeyTest, TruncatedPublicFormOnAFiniteStreamEnds) {
  Bytes form = opensslPublicForm(key2048);
  form.resize(form.size() - 1);
  crypto::RsaKey key;
  rdr::MemInStream in(form.data(), static_cast<int>(form.size()));
  EXPECT_THROW(key.readPublic(in), rdr::EndOfStream);
  EXPECT_FALSE(key.hasKey());
}

} // namespace
