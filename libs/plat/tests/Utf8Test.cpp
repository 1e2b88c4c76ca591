#include "plat/Utf8.h"

#include "plat/Exception.h"
#include "plat/String.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string latin1(const std::string& utf8) {
  plat::String s = plat::String::adopt(plat::utf8ToLatin1(utf8.c_str()));
  return s.c_str();
}

TEST(Utf8, EncodesEachLengthClass) {
  struct Case {
    unsigned int cp;
    std::string bytes;
  } cases[] = {
      {0x41, "A"},
      {0x7f, "\x7f"},
      {0x80, "\xc2\x80"},
      {0x7ff, "\xdf\xbf"},
      {0x800, "\xe0\xa0\x80"},
      {0xfffd, "\xef\xbf\xbd"},
      {0x10000, "\xf0\x90\x80\x80"},
      {0x10ffff, "\xf4\x8f\xbf\xbf"},
  };
  for (const Case& c : cases) {
    char buf[8];
    char* cursor = buf;
    plat::utf8EncodeChar(c.cp, &cursor);
    EXPECT_EQ(std::string(buf, cursor - buf), c.bytes) << std::hex << c.cp;
  }
  char buf[8];
  char* cursor = buf;
  try {
    plat::utf8EncodeChar(0x110000, &cursor);
    FAIL() << "no exception";
  } catch (const plat::Exception& e) {
    EXPECT_STREQ(e.str(), "Unicode out of range");
  }
  EXPECT_EQ(cursor, buf);
}

TEST(Utf8, CheckAcceptsValidAndRejectsInvalid) {
  struct Case {
    const char* name;
    std::string text;
    bool valid;
  } cases[] = {
      {"ascii", "plain text", true},
      {"empty", "", true},
      {"replacement char", "\xef\xbf\xbd", true},
      {"largest code point", "\xf4\x8f\xbf\xbf", true},
      {"mixed", "a\xc3\xa9z\xe2\x82\xac", true},
      {"surrogate", "\xed\xa0\x80", false},
      {"above 10FFFF", "\xf4\x90\x80\x80", false},
      {"lone continuation", "\x80", false},
      {"five-byte lead", "\xf8\x88\x80\x80\x80", false},
      {"bad continuation", "\xc3\x41", false},
      {"cut by terminator", "ab\xe2\x82", false},
      // Over-long forms: C0 80 would decode to a NUL inside the value.
      {"over-long NUL", "a\xc0\x80z", false},
      {"over-long A", "\xc1\x81", false},
      {"over-long 3-byte slash", "\xe0\x80\xaf", false},
      {"over-long 4-byte", "\xf0\x8f\xbf\xbf", false},
  };
  for (const Case& c : cases) {
    std::string copy = c.text;
    EXPECT_EQ(plat::checkUtf8(copy.data()), c.valid) << c.name;
    EXPECT_EQ(copy, c.text) << c.name << ": text must not be rewritten";
  }
}

TEST(Utf8, ToLatin1) {
  struct Case {
    const char* name;
    std::string utf8;
    std::string latin1;
  } cases[] = {
      {"e acute", "\xc3\xa9", "\xe9"},
      {"euro sign", "\xe2\x82\xac", "?"},
      {"ascii", "abc", "abc"},
      {"bad continuation resumes after examined bytes",
       "\xc3"
       "Az",
       "?z"},
      {"lone continuation",
       "a\x80"
       "b",
       "a?b"},
      {"five-byte lead", "\xf8x", "?x"},
      {"over-long", "\xc1\x81!", "?!"},
      {"cut at the end", "x\xe2\x82", "x?"},
      {"cut by the terminator", "x\xe2", "x?"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(latin1(c.utf8), c.latin1) << c.name;
}

TEST(Utf8, ToLatin1WithEndAndBuffers) {
  const char text[] = "a\0\xc3\xa9";
  char* end = nullptr;
  plat::String s = plat::String::adopt(plat::utf8ToLatin1(text, text + 4, &end));
  EXPECT_EQ(end - s.get(), 3);
  EXPECT_EQ(std::string(s.get(), 3), std::string("a\0\xe9", 3));

  plat::MBuf<unsigned char> out;
  const unsigned char bytes[] = {0xc3, 0xa9, 0x41};
  plat::utf8BufToLatin1(3, bytes, out);
  ASSERT_EQ(out.size(), 2);
  EXPECT_EQ(out[0], 0xe9);
  EXPECT_EQ(out[1], 'A');
}

TEST(Utf8, FromLatin1) {
  plat::String s = plat::String::adopt(plat::latin1ToUtf8("\xe9x"));
  EXPECT_STREQ(s.c_str(), "\xc3\xa9x");

  const char raw[] = "\xff\0\x41";
  char* end = nullptr;
  plat::String t = plat::String::adopt(plat::latin1ToUtf8(raw, raw + 3, &end));
  EXPECT_EQ(std::string(t.get(), end - t.get()), std::string("\xc3\xbf\0A", 4));

  plat::MBuf<unsigned char> out;
  const unsigned char bytes[] = {0xe9, 0x41};
  plat::latin1BufToUtf8(2, bytes, out);
  ASSERT_EQ(out.size(), 3);
  EXPECT_EQ(out[0], 0xc3);
  EXPECT_EQ(out[1], 0xa9);
  EXPECT_EQ(out[2], 'A');
  plat::latin1BufToUtf8(0, bytes, out);
  EXPECT_EQ(out.size(), 0);
}

} // namespace
