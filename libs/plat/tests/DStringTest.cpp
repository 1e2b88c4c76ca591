#include "plat/DString.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(DString, ReserveRoundsToPowersOfTwo) {
  struct Case {
    int n;
    int capacity;
  } cases[] = {{1, 8}, {7, 8}, {8, 8}, {9, 16}, {100, 128}, {128, 128}, {129, 256}};
  for (const Case& c : cases) {
    plat::DString s;
    s.reserve(c.n);
    EXPECT_EQ(s.capacity(), c.capacity) << "reserve(" << c.n << ")";
  }
  plat::DString s;
  s.reserve(100);
  s.reserve(10);
  EXPECT_EQ(s.capacity(), 128);
}

TEST(DString, AbsentBufferReadsAsEmptyText) {
  plat::DString s;
  EXPECT_TRUE(s.isNull());
  EXPECT_STREQ(s.c_str(), "");
  s.append(nullptr);
  EXPECT_FALSE(s.isNull());
  EXPECT_STREQ(s.c_str(), "");
}

TEST(DString, AppendCounts) {
  plat::DString s;
  s.append("hello", -1).append("world", 3).append("xyz", 0).append("ab\0cd", 5);
  EXPECT_STREQ(s.c_str(), "helloworab");
  EXPECT_EQ(s.length(), 10);
}

TEST(DString, AppendFormatGrowsAsNeeded) {
  plat::DString s;
  std::string big(10000, 'q');
  s.appendFormat("<%s>", "a");
  s.appendFormat("%s|%d", big.c_str(), 42);
  EXPECT_EQ(std::string(s.c_str()), "<a>" + big + "|42");
  EXPECT_EQ(s.length(), static_cast<int>(3 + big.size() + 3));
}

TEST(DString, AppendFormatErrorLeavesTheTextAsItWas) {
  // A wide character the C locale cannot encode makes the formatter fail
  // whatever the room; the text before it must stay as it was.
  struct Case {
    const char* label;
    void (*append)(plat::DString&);
  } cases[] = {
      {"%ls", [](plat::DString& s) { s.appendFormat("<%ls>", L"\u00e9"); }},
      {"%lc", [](plat::DString& s) { s.appendFormat("<%lc>", static_cast<wint_t>(0x20ac)); }},
  };
  for (const Case& c : cases) {
    plat::DString s;
    s.append("keep");
    c.append(s);
    EXPECT_STREQ(s.c_str(), "keep") << c.label;
    EXPECT_EQ(s.length(), 4) << c.label;
    s.appendFormat("|%d", 7);
    EXPECT_STREQ(s.c_str(), "keep|7") << c.label;
  }
}

TEST(DString, AppendRepeated) {
  plat::DString s;
  s.appendRepeated('-', 3).appendRepeated('x', 0).appendRepeated('y', -2);
  EXPECT_STREQ(s.c_str(), "---");
}

TEST(DString, ReplacingIsLeftToRightAndNotOverlapping) {
  plat::DString s;
  s.appendReplacing("aaaa-a", "aa", "b");
  EXPECT_STREQ(s.c_str(), "bb-a");
  plat::DString t;
  t.append("one two one");
  t.replaceAll("one", "three");
  EXPECT_STREQ(t.c_str(), "three two three");
}

TEST(DString, AppendingItsOwnTextSurvivesTheBufferGrowing) {
  // The appended text lies in the buffer that growing frees.
  plat::DString s;
  s.append("abcdefg"); // capacity 8: the next append must grow
  s.append(s.c_str());
  EXPECT_STREQ(s.c_str(), "abcdefgabcdefg");
  s.append(s.c_str() + 7, 3);
  EXPECT_STREQ(s.c_str(), "abcdefgabcdefgabc");
  plat::DString t;
  t.append("a-b-c-d");
  t.appendReplacing(t.c_str(), "-", "+++");
  EXPECT_STREQ(t.c_str(), "a-b-c-da+++b+++c+++d");
  plat::DString u;
  u.append("-");
  u.appendReplacing("a-b-c-d-e", u.c_str(), "==");
  EXPECT_STREQ(u.c_str(), "-a==b==c==d==e");
}

TEST(DStringDeathTest, EmptySearchIsFatal) {
  plat::DString s;
  EXPECT_DEATH(s.appendReplacing("abc", "", "x"), "Assertion 'findLen' failed at DString.cpp");
}

TEST(DStringDeathTest, LengthBeyondTheIntRangeIsFatalNotAnOverrun) {
  // The new length would pass INT_MAX: a fatal assertion, never a short
  // buffer written past its end.
  plat::DString s;
  s.append("x");
  EXPECT_DEATH(s.appendRepeated('a', INT_MAX), "Assertion '.*' failed at DString.cpp");
  EXPECT_DEATH(s.appendRepeated('a', INT_MAX - 1), "Assertion '.*' failed at DString.cpp");
}

TEST(DString, WrapAtBoundaryWidths) {
  struct Case {
    const char* text;
    int width;
    const char* wrapped;
  } cases[] = {
      {"aaaa bbbb", 10, "aaaa bbbb"},    // nine characters fit in width 10
      {"aaaa bbbbb", 10, "aaaa\nbbbbb"}, // ten do not: a line holds width - 1
      {"aaaa bbbbb", 11, "aaaa bbbbb"},
      {"a b c d e f", 4, "a b\nc d\ne f"},
      {"averyveryverylongword x", 5, "averyveryverylongword\nx"},
      {"first\nsecond third", 13, "first\nsecond third"},
      {"first\nsecond third", 12, "first\nsecond\nthird"},
      {"", 5, ""},
  };
  for (const Case& c : cases) {
    plat::DString s;
    s.append(c.text);
    s.wrap(c.width);
    EXPECT_STREQ(s.c_str(), c.wrapped) << c.text << " at " << c.width;
  }
}

TEST(DString, CopyIsDeep) {
  plat::DString a;
  a.append("abc");
  plat::DString b(a);
  a.append("d");
  EXPECT_STREQ(b.c_str(), "abc");
  EXPECT_EQ(b.capacity(), a.capacity());
  b = a;
  EXPECT_STREQ(b.c_str(), "abcd");
}

TEST(DString, MovedFromStringIsEmptyAndUsable) {
  struct Case {
    const char* label;
    void (*move)(plat::DString& from, plat::DString& to);
  } cases[] = {
      {"construct", [](plat::DString& from, plat::DString&) { plat::DString to(std::move(from)); }},
      {"assign", [](plat::DString& from, plat::DString& to) { to = std::move(from); }},
  };
  for (const Case& c : cases) {
    plat::DString from;
    from.append("a longer text");
    plat::DString to;
    c.move(from, to);
    // Length and capacity must not outlive the buffer they described.
    EXPECT_TRUE(from.isNull()) << c.label;
    EXPECT_EQ(from.length(), 0) << c.label;
    EXPECT_EQ(from.capacity(), 0) << c.label;
    from.append("x");
    EXPECT_STREQ(from.c_str(), "x") << c.label;
    EXPECT_EQ(from.length(), 1) << c.label;
  }
  plat::DString to;
  plat::DString from;
  from.append("kept");
  to = std::move(from);
  EXPECT_STREQ(to.c_str(), "kept");
  EXPECT_EQ(to.length(), 4);
}

} // namespace
