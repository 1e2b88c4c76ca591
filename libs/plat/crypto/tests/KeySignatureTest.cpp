#include "plat/crypto/KeySignature.h"

#include "OpenSslRsa.h"
#include "plat/crypto/RsaKey.h"
#include "rdr/MemInStream.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdio>
#include <regex>
#include <string>

using namespace testing_support;

namespace {

TEST(KeySignature, FirstEightSha1BytesOfThePublicFormJoinedByHyphens) {
  Pkey openssl = opensslGenerateRsa(2048);
  std::vector<std::uint8_t> form = opensslPublicForm(openssl.get());
  crypto::RsaKey key;
  rdr::MemInStream in(form.data(), static_cast<int>(form.size()));
  ASSERT_TRUE(key.readPublic(in));

  crypto::KeySignature signature(key);
  std::string text = signature.getText();
  EXPECT_EQ(text.size(), 23u);
  EXPECT_TRUE(std::regex_match(text, std::regex("[0-9a-f]{2}(-[0-9a-f]{2}){7}"))) << text;

  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned digestLength = 0;
  ASSERT_EQ(EVP_Digest(form.data(), form.size(), digest, &digestLength, EVP_sha1(), nullptr), 1);
  std::string expected;
  for (int i = 0; i < 8; i++) {
    char pair[4];
    snprintf(pair, sizeof(pair), i ? "-%02x" : "%02x", digest[i]);
    expected += pair;
  }
  EXPECT_EQ(text, expected);
  ASSERT_EQ(signature.getDigest().size(), 20);
  EXPECT_EQ(memcmp(signature.getDigest().data(), digest, 20), 0);
}

TEST(KeySignature, OverGivenBytes) {
  EXPECT_STREQ(crypto::KeySignature(3, "abc").getText(), "a9-99-3e-36-47-06-81-6a");
  EXPECT_STREQ(crypto::KeySignature(0, "").getText(), "da-39-a3-ee-5e-6b-4b-0d");
}

} // namespace
