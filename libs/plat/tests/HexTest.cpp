#include "plat/Hex.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

TEST(HexToBin, Table) {
  struct Case {
    const char* text;
    bool ok;
    std::vector<unsigned char> bytes;
  } cases[] = {
      {"0aFf", true, {0x0a, 0xff}},
      {"", true, {}},
      {"abc", false, {}},  // odd length
      {"0g", false, {}},   // bad digit
      {"12 4", false, {}}, // blank is not a digit
      {"00ab10", true, {0x00, 0xab, 0x10}},
  };
  for (const Case& c : cases) {
    plat::MBuf<unsigned char> out(3);
    EXPECT_EQ(plat::hexToBin(c.text, out), c.ok) << c.text;
    ASSERT_EQ(out.size(), static_cast<int>(c.bytes.size())) << c.text;
    for (size_t i = 0; i < c.bytes.size(); i++)
      EXPECT_EQ(out[static_cast<int>(i)], c.bytes[i]);
  }
}

TEST(BinToHex, LowerCaseHighNibbleFirst) {
  const unsigned char bytes[] = {0x00, 0xab, 0x10};
  EXPECT_STREQ(plat::binToHex(3, bytes).get(), "00ab10");
  EXPECT_STREQ(plat::binToHex(0, bytes).get(), "");
  EXPECT_STREQ(plat::binToHex(-1, bytes).get(), "");
}

TEST(AddHexDigit, AccumulatesAndRefuses) {
  unsigned v = 0;
  EXPECT_TRUE(plat::addHexDigit('1', v));
  EXPECT_TRUE(plat::addHexDigit('F', v));
  EXPECT_EQ(v, 0x1fu);
  EXPECT_FALSE(plat::addHexDigit('x', v));
  EXPECT_EQ(v, 0x1fu);
}

TEST(AddHexDigit, SignedAccumulatorWrapsWithoutUndefinedBehaviour) {
  // Digits beyond the width of a signed accumulator drop off the top, as
  // they do for an unsigned one.
  struct Case {
    int start;
    char digit;
    int expected;
  } cases[] = {
      {0x7fffffff, 'f', -1},
      {0x10000000, '1', 1},
      {-1, '0', -16},
      {0x0fffffff, 'e', -2},
  };
  for (const Case& c : cases) {
    int v = c.start;
    EXPECT_TRUE(plat::addHexDigit(c.digit, v)) << std::hex << c.start;
    EXPECT_EQ(v, c.expected) << std::hex << c.start;
  }
  long long wide = 0x7fffffffffffffffLL;
  EXPECT_TRUE(plat::addHexDigit('a', wide));
  EXPECT_EQ(wide, -6);
}

TEST(HexDump, LinesGroupsAndPrintableColumn) {
  std::vector<unsigned char> bytes;
  for (int i = 0; i < 18; i++)
    bytes.push_back(static_cast<unsigned char>('A' + i));
  bytes[1] = 0x01;
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  plat::hexDump("P:", "L:", bytes.data(), static_cast<int>(bytes.size()), out);
  fclose(out);
  std::string dump(text, size);
  free(text);
  EXPECT_EQ(dump, "P:41 01 43 44  45 46 47 48  49 4a 4b 4c  4d 4e 4f 50  A.CDEFGHIJKLMNOP\n"
                  "L:51 52                                               QR\n");
}

} // namespace
