#include "zavkeygen/HexInStream.h"

#include "rdr/Exception.h"
#include "rdr/MemInStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(HexInStream, DecodesBothCases) {
  const char text[] = "00ABff";
  rdr::MemInStream mem(text, 6);
  rdr::HexInStream hex(mem);
  EXPECT_EQ(hex.readU8(), 0x00);
  EXPECT_EQ(hex.readU8(), 0xab);
  EXPECT_EQ(hex.readU8(), 0xff);
}

TEST(HexInStream, BadTextAndShortText) {
  struct Case {
    const char* text;
    int bytesWanted;
    const char* message; // nullptr: readable
  } cases[] = {
      {"0g", 1, "Invalid hex digit"},
      {"g0", 1, "Invalid hex digit"},
      {"0a\n\n", 1, "Invalid hex digit"}, // every buffered pair is decoded
      {"0a\n", 1, nullptr},               // a single character never forms a pair
      {"0a\n", 2, "End of stream"},
      {"abc", 1, nullptr},
      {"abc", 2, "End of stream"},
      {"", 1, "End of stream"},
  };
  for (const Case& c : cases) {
    rdr::MemInStream mem(c.text, static_cast<int>(strlen(c.text)));
    rdr::HexInStream hex(mem);
    std::vector<std::uint8_t> out(c.bytesWanted);
    try {
      hex.readBytes(out.data(), c.bytesWanted);
      EXPECT_EQ(c.message, nullptr) << '"' << c.text << "\" was read";
    } catch (plat::Exception& e) {
      ASSERT_NE(c.message, nullptr) << '"' << c.text << "\": " << e.str();
      EXPECT_STREQ(e.str(), c.message) << '"' << c.text << '"';
    }
  }
}

TEST(HexInStream, LongTextThroughSmallBuffers) {
  std::string text;
  for (int i = 0; i < 5000; i++) {
    char pair[3];
    snprintf(pair, sizeof(pair), i % 2 ? "%02X" : "%02x", (i * 13) & 0xff);
    text += pair;
  }
  rdr::MemInStream mem(text.data(), static_cast<int>(text.size()));
  rdr::HexInStream hex(mem, 64);
  for (int i = 0; i < 5000; i++) {
    ASSERT_EQ(hex.readU8(), (i * 13) & 0xff) << i;
    hex.checkpoint(); // the small buffer keeps only what follows a checkpoint
  }
}

} // namespace
