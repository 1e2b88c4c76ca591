#include "zavkeygen/RsaPrivateKey.h"

#include "FeedInStream.h"
#include "OpenSslRsa.h"
#include "plat/IntParameter.h"
#include "plat/crypto/RsaException.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"

#include <gtest/gtest.h>

#include <vector>

using namespace testing_support;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes privateForm(const crypto::RsaPrivateKey& key) {
  rdr::MemOutStream out;
  key.writePrivate(out);
  return Bytes(out.data(), out.data() + out.length());
}

void readForm(crypto::RsaPrivateKey& key, const Bytes& form) {
  rdr::MemInStream in(form.data(), static_cast<int>(form.size()));
  ASSERT_TRUE(key.readPrivate(in));
}

class RecordingProgress : public crypto::RsaPrivateKey::GenProgress {
public:
  void progress(int stage, int) override { stages.push_back(stage); }
  std::vector<int> stages;
};

TEST(RsaPrivateKey, GeneratedKeyChecksAndReportsTwoPrimes) {
  RecordingProgress progress;
  crypto::RsaPrivateKey key;
  key.generate(&progress);
  EXPECT_EQ(key.getBits(), 2048);
  EXPECT_EQ(BN_get_word(key.getNumber(crypto::RsaKey::E)), 65537u);
  key.check();
  int found = 0, candidates = 0;
  for (int s : progress.stages) {
    found += s == 3;
    candidates += s == 0;
  }
  EXPECT_EQ(found, 2);
  EXPECT_GT(candidates, 0);

  // Generating again replaces the key.
  Bytes first = privateForm(key);
  key.generate(nullptr);
  key.check();
  EXPECT_NE(privateForm(key), first);
}

TEST(RsaPrivateKey, FormsOfOpenSslKeysRoundTrip) {
  // 2048 bits: 1412 bytes; 1024 bits: 4 + 3 x 128 + 5 x 64; an odd 1031 bits:
  // full length 129, half length 65.
  struct Case {
    unsigned bits;
    size_t formLength;
  } cases[] = {{2048, 1412}, {1024, 708}, {1031, 4 + 3 * 129 + 5 * 65}};
  for (const Case& c : cases) {
    Pkey openssl = opensslGenerateRsa(c.bits);
    Bytes form = opensslPrivateForm(openssl.get());
    ASSERT_EQ(form.size(), c.formLength) << c.bits;
    EXPECT_EQ(crypto::RsaPrivateKey::halfLength(c.bits) * 5 +
                  crypto::RsaPrivateKey::fullLength(c.bits) * 3 + 4,
              static_cast<int>(c.formLength));
    crypto::RsaPrivateKey key;
    readForm(key, form);
    EXPECT_EQ(key.getBits(), static_cast<int>(c.bits));
    key.check();
    EXPECT_EQ(privateForm(key), form) << c.bits;

    // Our private-key block decrypts with the public half alone.
    crypto::RsaKey publicKey;
    publicKey.setPublicFrom(key);
    rdr::MemOutStream out;
    key.privateEncrypt(out, 5, "hello");
    rdr::MemInStream in(out.data(), static_cast<int>(out.length()));
    plat::MBuf<unsigned char> result;
    ASSERT_TRUE(publicKey.publicDecrypt(in, result));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(result.data()), result.size()), "hello");
  }
}

TEST(RsaPrivateKey, GeneratesTheConfiguredSize) {
  ASSERT_TRUE(crypto::rsaModulusBits.setParam("1024", 50));
  crypto::RsaPrivateKey key;
  key.generate(nullptr);
  EXPECT_EQ(key.getBits(), 1024);
  EXPECT_EQ(privateForm(key).size(), 708u);
}

TEST(RsaPrivateKey, SizesTheKeyFileCouldNotHoldAreNotGenerated) {
  crypto::RsaPrivateKey key;
  for (const char* bits : {"16385", "2147483647"}) {
    ASSERT_TRUE(crypto::rsaModulusBits.setParam(bits, 50));
    try {
      key.generate(nullptr);
      ADD_FAILURE() << bits << " bits generated";
    } catch (crypto::RsaException& e) {
      EXPECT_STREQ(e.str(), "Unsupported RSA key length") << bits;
    }
    EXPECT_FALSE(key.hasKey());
  }
  EXPECT_FALSE(crypto::rsaModulusBits.setParam("511", 50));
}

TEST(RsaPrivateKey, PrivateFormFedOneByteAtATime) {
  Pkey openssl = opensslGenerateRsa(1024);
  Bytes form = opensslPrivateForm(openssl.get());
  crypto::RsaPrivateKey key;
  FeedInStream in(32);
  for (size_t i = 0; i < form.size(); i++) {
    in.feed(&form[i], 1);
    ASSERT_EQ(key.readPrivate(in), i + 1 == form.size()) << "after byte " << i;
  }
  key.check();
  EXPECT_EQ(privateForm(key), form);
}

TEST(RsaPrivateKey, PrivateNumbersOfAnotherKeyAreReadButFailTheCheck) {
  Pkey a = opensslGenerateRsa(1024), b = opensslGenerateRsa(1024);
  Bytes formA = opensslPrivateForm(a.get()), formB = opensslPrivateForm(b.get());
  size_t publicLength = 4 + 2 * 128;
  struct Case {
    const char* name;
    Bytes form;
  } cases[] = {
      {"all private numbers of another key",
       [&] {
         Bytes f(formA.begin(), formA.begin() + publicLength);
         f.insert(f.end(), formB.begin() + publicLength, formB.end());
         return f;
       }()},
      {"zero private numbers",
       [&] {
         Bytes f = formA;
         std::fill(f.begin() + publicLength, f.end(), 0);
         return f;
       }()},
  };
  for (const Case& c : cases) {
    crypto::RsaPrivateKey key;
    readForm(key, c.form);
    try {
      key.check();
      ADD_FAILURE() << c.name << " passed the check";
    } catch (crypto::RsaException& e) {
      EXPECT_STREQ(e.str(), "RSA keys do not match") << c.name;
    }
  }
}

TEST(RsaPrivateKey, CopiesAreIndependent) {
  Pkey openssl = opensslGenerateRsa(1024);
  crypto::RsaPrivateKey key;
  readForm(key, opensslPrivateForm(openssl.get()));
  crypto::RsaPrivateKey copy(key);
  crypto::RsaPrivateKey assigned;
  assigned.copyFrom(key);
  key.clear();
  copy.check();
  assigned.check();
  EXPECT_EQ(privateForm(copy), opensslPrivateForm(openssl.get()));
  EXPECT_EQ(privateForm(assigned), privateForm(copy));
}

TEST(RsaPrivateKey, WritingWithoutPrivateNumbersIsRefused) {
  Pkey openssl = opensslGenerateRsa(1024);
  Bytes publicForm = opensslPublicForm(openssl.get());
  crypto::RsaPrivateKey key;
  rdr::MemInStream in(publicForm.data(), static_cast<int>(publicForm.size()));
  ASSERT_TRUE(key.readPublic(in));
  rdr::MemOutStream out;
  EXPECT_THROW(key.writePrivate(out), plat::AssertionFail);
  EXPECT_THROW(key.check(), crypto::RsaException);
}

} // namespace
