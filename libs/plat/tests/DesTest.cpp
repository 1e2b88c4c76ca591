#include "plat/Des.h"

#include "OpenSslDes.h"

#include <gtest/gtest.h>

#include <random>

using testing_support::Bytes;
using testing_support::opensslDesEcb;
using testing_support::reverseBits;

namespace {

Bytes fromHex(const char* hex) {
  Bytes out;
  for (; hex[0] && hex[1]; hex += 2)
    out.push_back(static_cast<unsigned char>(std::stoi(std::string(hex, 2), nullptr, 16)));
  return out;
}

Bytes reversedKey(const Bytes& key) {
  Bytes r;
  for (unsigned char b : key)
    r.push_back(reverseBits(b));
  return r;
}

Bytes run(const Bytes& key, const Bytes& data, bool decipher) {
  plat::DesSchedule schedule;
  if (decipher)
    plat::desInitDecrypt(schedule, key.data());
  else
    plat::desInitEncrypt(schedule, key.data());
  Bytes out(data.size());
  for (size_t i = 0; i + 8 <= data.size(); i += 8)
    plat::desBlock(schedule, data.data() + i, out.data() + i);
  return out;
}

// Published DES answers; our key bytes are read bit-reversed, so the
// textbook key is handed over reversed.
TEST(Des, KnownAnswersUnderTheBitReversedKey) {
  struct Case {
    const char* key;
    const char* plain;
    const char* cipher;
  } cases[] = {
      {"133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"},
      {"0e329232ea6d0d73", "8787878787878787", "0000000000000000"},
      {"0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
  };
  for (const Case& c : cases) {
    Bytes key = reversedKey(fromHex(c.key));
    EXPECT_EQ(run(key, fromHex(c.plain), false), fromHex(c.cipher)) << c.key;
    EXPECT_EQ(run(key, fromHex(c.cipher), true), fromHex(c.plain)) << c.key;
  }
}

TEST(Des, MatchesOpenSslOnRandomBlocksBothWays) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 3; round++) {
    Bytes key(8), data(8 * 40);
    for (auto& b : key)
      b = static_cast<unsigned char>(rng());
    for (auto& b : data)
      b = static_cast<unsigned char>(rng());
    EXPECT_EQ(run(key, data, false), opensslDesEcb(reversedKey(key), data, false));
    EXPECT_EQ(run(key, data, true), opensslDesEcb(reversedKey(key), data, true));
  }
}

TEST(Des, BlockMayWorkInPlaceAndSchedulesCopy) {
  Bytes key = fromHex("c41d8e723ba9f056");
  plat::DesSchedule enc, copy, other;
  plat::desInitEncrypt(enc, key.data());
  plat::desCopySchedule(copy, enc);
  plat::desCopyScheduleTo(enc, other);
  unsigned char block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  unsigned char expected[8];
  plat::desBlock(copy, block, expected);
  plat::desBlock(other, block, block);
  EXPECT_EQ(0, memcmp(block, expected, 8));
  plat::desClearSchedule(copy);
  for (uint32_t w : copy.keys)
    EXPECT_EQ(w, 0u);
}

} // namespace
