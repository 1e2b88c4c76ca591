#include "plat/crypto/BigNumFields.h"

#include "FeedInStream.h"
#include "plat/crypto/BigNumOverflow.h"
#include "plat/crypto/ByteReader.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"

#include <gtest/gtest.h>

#include <vector>

using testing_support::FeedInStream;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct BnDeleter {
  void operator()(BIGNUM* b) const { BN_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnDeleter>;

Bn bnFromHex(const char* hex) {
  BIGNUM* b = nullptr;
  BN_hex2bn(&b, hex);
  return Bn(b);
}

Bytes written(rdr::MemOutStream& out) {
  return Bytes(out.data(), out.data() + out.length());
}

TEST(BigNumWriteF, PadsInFrontOrOverflows) {
  struct Case {
    const char* hex;
    int length;
    Bytes expected; // empty: overflow
  } cases[] = {
      {"1", 4, {0, 0, 0, 1}}, {"0", 3, {0, 0, 0}}, {"0102030405", 5, {1, 2, 3, 4, 5}},
      {"0102030405", 4, {}},  {"ff", 0, {}},       {"0", 0, {}},
  };
  for (const Case& c : cases) {
    Bn n = bnFromHex(c.hex);
    rdr::MemOutStream out;
    bool overflowExpected = c.expected.empty() && !(c.length == 0 && BN_is_zero(n.get()));
    if (overflowExpected) {
      try {
        crypto::bigNumWriteF(out, n.get(), c.length);
        ADD_FAILURE() << c.hex << " fitted into " << c.length;
      } catch (crypto::BigNumOverflow& e) {
        EXPECT_STREQ(e.str(), "bigNumWriteF overflow");
      }
      EXPECT_EQ(out.length(), 0) << c.hex;
    } else {
      crypto::bigNumWriteF(out, n.get(), c.length);
      EXPECT_EQ(written(out), c.expected) << c.hex;
    }
  }
}

TEST(BigNumWriteV, LengthRaisedToMinimumAndCutAtMaximum) {
  Bn n = bnFromHex("1234");
  rdr::MemOutStream a, b;
  crypto::bigNumWriteV(a, n.get(), 4, 10);
  EXPECT_EQ(written(a), (Bytes{0, 4, 0, 0, 0x12, 0x34}));
  crypto::bigNumWriteV(b, n.get(), 0, 10);
  EXPECT_EQ(written(b), (Bytes{0, 2, 0x12, 0x34}));
  rdr::MemOutStream c;
  EXPECT_THROW(crypto::bigNumWriteV(c, n.get(), 0, 1), crypto::BigNumOverflow);
}

TEST(BigNumReadV, RoundTripByteByByteAndOverflow) {
  Bn n = bnFromHex("abcdef0123");
  rdr::MemOutStream out;
  crypto::bigNumWriteV(out, n.get(), 0, 100);
  Bytes form = written(out);

  FeedInStream in(8);
  crypto::ByteReader reader;
  BIGNUM* read = nullptr;
  for (size_t i = 0; i < form.size(); i++) {
    in.feed(&form[i], 1);
    ASSERT_EQ(crypto::bigNumReadV(in, read, reader, 5), i + 1 == form.size()) << i;
  }
  Bn owned(read);
  EXPECT_EQ(BN_cmp(read, n.get()), 0);
  // Already there: true at once without reading.
  EXPECT_TRUE(crypto::bigNumReadV(in, read, reader, 5));

  rdr::MemInStream tooLong(form.data(), static_cast<int>(form.size()));
  BIGNUM* none = nullptr;
  crypto::ByteReader reader2;
  try {
    crypto::bigNumReadV(tooLong, none, reader2, 4);
    FAIL() << "5 bytes read with a maximum of 4";
  } catch (crypto::BigNumOverflow& e) {
    EXPECT_STREQ(e.str(), "bigNumReadV overflow");
  }
  EXPECT_EQ(none, nullptr);
}

TEST(BigNumReadF, ReaderBusyWithAnotherLengthRefuses) {
  FeedInStream in;
  in.feed(Bytes{1, 2});
  crypto::ByteReader reader;
  BIGNUM* n = nullptr;
  EXPECT_FALSE(crypto::bigNumReadF(in, n, 4, reader));
  try {
    crypto::bigNumReadF(in, n, 5, reader);
    FAIL() << "a second length was taken";
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), "ByteReader::init: bad len");
  }
  in.feed(Bytes{3, 4});
  ASSERT_TRUE(crypto::bigNumReadF(in, n, 4, reader));
  Bn owned(n);
  EXPECT_EQ(BN_get_word(n), 0x01020304u);
  EXPECT_TRUE(reader.idle());
}

} // namespace
