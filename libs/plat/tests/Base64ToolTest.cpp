#include "plat/Base64Tool.h"

#include "plat/XMLNode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using xml::Base64Tool;

namespace {

const unsigned char* bytes(const char* s) {
  return reinterpret_cast<const unsigned char*>(s);
}

TEST(Base64Tool, EncodesWithPadding) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""}, {"a", "YQ=="}, {"ab", "YWI="}, {"abc", "YWJj"}, {"abcd", "YWJjZA=="},
  };
  for (const Case& c : cases) {
    int n = static_cast<int>(strlen(c.in));
    plat::String s = Base64Tool::encode(bytes(c.in), n);
    EXPECT_STREQ(s.get(), c.out);
    EXPECT_LE(s.length() + 1, Base64Tool::encodeLength(n));
  }
}

TEST(Base64Tool, FormattedBreaksLinesAfter72Characters) {
  std::vector<unsigned char> data(108, 0xff); // 36 groups
  plat::String s = Base64Tool::encode(data.data(), 108, true);
  std::string text = s.c_str();
  ASSERT_EQ(text.size(), 146u);
  EXPECT_EQ(text[72], '\n');
  EXPECT_EQ(text[145], '\n');
  EXPECT_EQ(text.find('\n'), 72u);
  EXPECT_LE(static_cast<int>(text.size()) + 1, Base64Tool::encodeLength(108, true));

  // The formatted text decodes back: line breaks are skipped.
  std::vector<unsigned char> back(108);
  int decoded = 0;
  EXPECT_EQ(Base64Tool::decode(s.get(), back.data(), 108, &decoded), 0);
  EXPECT_EQ(decoded, 108);
  EXPECT_EQ(back, data);
}

TEST(Base64Tool, DecodesAndReportsEachError) {
  struct Case {
    const char* in;
    int sizeError;
    int size;
    int bufferSize;
    int decodeError;
    const char* out;
  } cases[] = {
      {"YWJj", 0, 3, 3, 0, "abc"},
      {" YW\tJj\r\n", 0, 3, 3, 0, "abc"},
      {"YWI=", 0, 2, 2, 0, "ab"},
      {"YQ==", 0, 1, 8, 0, "a"},
      {"", 0, 0, 0, 0, ""},
      {"YWJ", xml::eXMLBase64LengthNotMultipleOf4, 2, 8, xml::eXMLBase64Truncated, nullptr},
      {"YW*j", xml::eXMLBase64IllegalCharacter, 0, 8, xml::eXMLBase64IllegalCharacter, nullptr},
      {"Y===", 0, 0, 8, xml::eXMLBase64IllegalCharacter, nullptr},
      {"YQ=a", 0, 2, 8, xml::eXMLBase64IllegalCharacter, nullptr},
      {"YWJj", 0, 3, 2, xml::eXMLBase64BufferTooSmall, nullptr},
  };
  for (const Case& c : cases) {
    int err = -1;
    EXPECT_EQ(Base64Tool::decodeSize(c.in, &err), c.size) << c.in;
    EXPECT_EQ(err, c.sizeError) << c.in;
    unsigned char buf[8] = {};
    int decoded = -1;
    EXPECT_EQ(Base64Tool::decode(c.in, buf, c.bufferSize, &decoded), c.decodeError) << c.in;
    if (c.out) {
      EXPECT_EQ(decoded, static_cast<int>(strlen(c.out)));
      EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), decoded), c.out);
    }
  }
  EXPECT_STREQ(xml::XMLNode::errorText(xml::eXMLBase64LengthNotMultipleOf4),
               "base64-string length is not a multiple of 4");
}

TEST(Base64Tool, EveryByteRoundTrips) {
  std::vector<unsigned char> data(256);
  for (int i = 0; i < 256; i++)
    data[i] = static_cast<unsigned char>(i);
  for (int n = 0; n <= 256; n += 37) {
    plat::String s = Base64Tool::encode(data.data(), n, n % 2 == 0);
    std::vector<unsigned char> back(n + 1);
    int decoded = 0;
    ASSERT_EQ(Base64Tool::decode(s.get(), back.data(), n, &decoded), 0) << n;
    ASSERT_EQ(decoded, n);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + n, back.begin())) << n;
  }
}

// The size given by encodeLength holds the encoded text and its terminator
// for every length, also when the last line break falls after a short last
// group (52 and 53 bytes end their 18th group with padding).
TEST(Base64Tool, EncodeLengthHoldsEveryEncoding) {
  std::vector<unsigned char> data(400, 0x5a);
  for (bool formatted : {false, true}) {
    for (int n = 0; n <= 400; n++) {
      plat::String s = Base64Tool::encode(data.data(), n, formatted);
      int groups = (n + 2) / 3;
      int breaks = formatted ? groups / 18 : 0;
      ASSERT_EQ(s.length(), groups * 4 + breaks) << n << " " << formatted;
      ASSERT_LE(s.length() + 1, Base64Tool::encodeLength(n, formatted)) << n << " " << formatted;
    }
  }
}

} // namespace
