#include "plat/StringUtils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(StrAppend, IsBoundedAndAlwaysTerminated) {
  char buf[8] = "ab";
  plat::strAppend(buf, sizeof(buf), "cdefghijk");
  EXPECT_STREQ(buf, "abcdefg");
  plat::strAppend(buf, sizeof(buf), "zz");
  EXPECT_STREQ(buf, "abcdefg");

  char small[8] = "";
  plat::strAppend(small, sizeof(small), "xyz", 2);
  EXPECT_STREQ(small, "xy");
  plat::strAppendChars(small, sizeof(small), '.', 10);
  EXPECT_STREQ(small, "xy.....");
  char num[16] = "";
  EXPECT_STREQ(plat::strAppendF(num, "%d", 5900), "5900");
}

TEST(StrDup, CopiesWholeOrCount) {
  std::unique_ptr<char[]> a(plat::strDup("hello"));
  std::unique_ptr<char[]> b(plat::strDup("hello", 3));
  EXPECT_STREQ(a.get(), "hello");
  EXPECT_STREQ(b.get(), "hel");
  EXPECT_EQ(plat::strDup(nullptr), nullptr);
  EXPECT_EQ(plat::strLen(nullptr), 0);
}

// Outside text (a viewer's name, a file name) shown on one line: nothing in it
// can break the line, move the cursor or reorder what is shown.
TEST(StrOneLine, WhatCouldBreakOrDisguiseTheLineBecomesQuestionMarks) {
  const std::pair<const char*, std::string> cases[] = {
      {nullptr, ""},
      {"", ""},
      {"plain name", "plain name"},
      {"report (1).txt", "report (1).txt"},
      {"eve\nfrom trusted-host", "eve?from trusted-host"},
      {"\r\t\x1b[31m\x7f\x01", "???[31m??"},
      // Letters of other scripts and a no-break space pass.
      {"Zo\xc3\xab \xe6\x97\xa5\xf0\x9f\x98\x80 a\xc2\xa0" "b",
       "Zo\xc3\xab \xe6\x97\xa5\xf0\x9f\x98\x80 a\xc2\xa0" "b"},
      // A C1 control, one '?' for the character.
      {"a\xc2\x9b" "31mb", "a?31mb"},
      // The marks and overrides of text direction.
      {"invoice\xe2\x80\xaetxt.exe", "invoice?txt.exe"},
      {"\xe2\x80\x8e\xe2\x80\x8f\xe2\x81\xa6\xe2\x81\xa9\xd8\x9c", "?????"},
      // Not UTF-8: one '?' for each byte.
      {"a\x80" "b", "a?b"},
      {"a\xe6\x97", "a??"},
      {"a\xc0\xaf" "b", "a??b"},
      {"\xed\xa0\x80", "???"},
      {"\xf4\x90\x80\x80", "????"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(plat::strOneLine(c.first), c.second) << (c.first ? c.first : "(null)");
}

// Texts from other parties as a log line or record holds them: nothing in
// them can break a line, move the cursor, reorder what is shown or be read
// back as something else, and their length is bounded.
TEST(StrLoggable, EscapesWhatCouldForgeOrHideALine) {
  const std::string longName(1000000, 'a');
  struct Case {
    const char* text;
    size_t max;
    bool wholeMessage;
    std::string shown;
  } cases[] = {
      {nullptr, 256, false, ""},
      {"", 256, false, ""},
      {"plain name@host", 256, false, "plain name@host"},
      {"eve\nSession started", 256, false, "eve\\x0aSession started"},
      {"eve\nnext", 256, true, "eve\nnext"},
      {"a\rb\tc\x1b[2J\x08\x7f", 256, false, "a\\x0db\\x09c\\x1b[2J\\x08\\x7f"},
      {"a\rb", 256, true, "a\\x0db"},
      // The backslash too, so that a literal "\x0a" is told from a newline.
      {"a\\x0ab", 256, false, "a\\x5cx0ab"},
      // A whole message keeps the escapes its callers wrote as they are.
      {"name a\\x0ab\n", 256, true, "name a\\x0ab\n"},
      // C1 controls (as UTF-8) and the bidirectional marks, byte by byte.
      {"x\xc2\x85y\xc2\x9b", 256, false, "x\\xc2\\x85y\\xc2\\x9b"},
      {"txt\xe2\x80\xaegpj.exe", 256, false, "txt\\xe2\\x80\\xaegpj.exe"},
      {"\xe2\x81\xa6\xe2\x80\x8f\xd8\x9c", 256, false, "\\xe2\\x81\\xa6\\xe2\\x80\\x8f\\xd8\\x9c"},
      // Other characters pass.
      {"Zo\xc3\xab \xe2\x82\xac \xf0\x9f\x98\x80", 256, false,
       "Zo\xc3\xab \xe2\x82\xac \xf0\x9f\x98\x80"},
      // Not UTF-8: a stray continuation, a bad lead, an over-long NUL, a
      // surrogate, a code point above U+10FFFF, a sequence cut by the end.
      {"a\x80z\xffz", 256, false, "a\\x80z\\xffz"},
      {"\xc0\x80", 256, false, "\\xc0\\x80"},
      {"\xed\xa0\x80", 256, false, "\\xed\\xa0\\x80"},
      {"\xf4\x90\x80\x80", 256, false, "\\xf4\\x90\\x80\\x80"},
      {"ab\xe2\x82", 256, false, "ab\\xe2\\x82"},
      // Bounded, never inside an escape or a character.
      {longName.c_str(), 256, false, std::string(256, 'a') + "..."},
      {"abcd\n", 5, false, "abcd..."},
      {"ab\xe2\x82\xac", 4, false, "ab..."},
      {"abc", 3, false, "abc"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::strLoggable(c.text, c.max, c.wholeMessage), c.shown)
        << (c.text ? std::string(c.text).substr(0, 40) : "(null)");
}

TEST(StrSplit, Table) {
  struct Case {
    const char* text;
    char c;
    bool fromEnd;
    bool found;
    const char* head;
    const char* tail; // nullptr: absent
  } cases[] = {
      {"a=b=c", '=', false, true, "a", "b=c"},    {"a=b=c", '=', true, true, "a=b", "c"},
      {"abc", '=', false, false, "abc", nullptr}, {"=x", '=', false, true, "", "x"},
      {"x=", '=', false, true, "x", ""},          {"", '=', false, false, "", nullptr},
  };
  for (const Case& c : cases) {
    plat::String head("old"), tail("old");
    EXPECT_EQ(plat::strSplit(c.text, c.c, &head, &tail, c.fromEnd), c.found) << c.text;
    EXPECT_STREQ(head.get(), c.head) << c.text;
    if (c.tail)
      EXPECT_STREQ(tail.get(), c.tail) << c.text;
    else
      EXPECT_TRUE(tail.isNull()) << c.text;
  }
  EXPECT_TRUE(plat::strSplit("k=v", '=', nullptr, nullptr));
}

TEST(StrSplit, TextHeldByAnOutput) {
  // Splitting a text into the String that holds it: the old text is freed
  // only after both parts have been taken.
  plat::String s("key=value"), tail;
  EXPECT_TRUE(plat::strSplit(s.c_str(), '=', &s, &tail));
  EXPECT_STREQ(s.get(), "key");
  EXPECT_STREQ(tail.get(), "value");
  plat::String head, t("a:b:c");
  EXPECT_TRUE(plat::strSplit(t.c_str(), ':', &head, &t, true));
  EXPECT_STREQ(head.get(), "a:b");
  EXPECT_STREQ(t.get(), "c");
  plat::String whole("nothing here");
  EXPECT_FALSE(plat::strSplit(whole.c_str(), '=', &whole, &tail));
  EXPECT_STREQ(whole.get(), "nothing here");
  EXPECT_TRUE(tail.isNull());
}

TEST(StrSep, CharTokenizerWithEmptyFieldsAndTrailingSeparator) {
  char text[] = "x::y,";
  char* cursor = text;
  EXPECT_STREQ(plat::strSepChar(&cursor, ':'), "x");
  EXPECT_STREQ(cursor, ":y,");
  EXPECT_STREQ(plat::strSepChar(&cursor, ':'), "");
  EXPECT_STREQ(plat::strSepChar(&cursor, ':'), "y,");
  EXPECT_EQ(cursor, nullptr);
  EXPECT_EQ(plat::strSepChar(&cursor, ':'), nullptr);

  char list[] = "a,b,";
  cursor = list;
  EXPECT_STREQ(plat::strSepChar(&cursor, ','), "a");
  EXPECT_STREQ(plat::strSepChar(&cursor, ','), "b");
  EXPECT_STREQ(plat::strSepChar(&cursor, ','), "");
  EXPECT_EQ(cursor, nullptr);
}

TEST(StrSep, AnyAndStringTokenizers) {
  char text[] = "a b\tc";
  char* cursor = text;
  EXPECT_STREQ(plat::strSepAny(&cursor, " \t"), "a");
  EXPECT_STREQ(plat::strSepAny(&cursor, " \t"), "b");
  EXPECT_STREQ(plat::strSepAny(&cursor, " \t"), "c");
  EXPECT_EQ(cursor, nullptr);

  char words[] = "one--two----";
  cursor = words;
  EXPECT_STREQ(plat::strSepString(&cursor, "--"), "one");
  EXPECT_STREQ(plat::strSepString(&cursor, "--"), "two");
  EXPECT_STREQ(plat::strSepString(&cursor, "--"), "");
  EXPECT_STREQ(plat::strSepString(&cursor, "--"), "");
  EXPECT_EQ(cursor, nullptr);
}

TEST(StrEdit, TrimInsertAndCase) {
  plat::String s("  padded \t\n");
  plat::strTrimRight(s);
  EXPECT_STREQ(s.get(), "  padded");
  plat::strTrimLeft(s);
  EXPECT_STREQ(s.get(), "padded");

  struct Case {
    const char* text;
    int n;
    const char* result;
  } cases[] = {{"abcdef", 2, "ab-cd-ef"},
               {"abcdefg", 2, "ab-cd-ef-g"},
               {"ab", 2, "ab"},
               {"abc", 0, "abc"},
               {"", 3, ""},
               {"abcd", 1, "a-b-c-d"}};
  for (const Case& c : cases) {
    plat::String t(c.text);
    plat::strInsertEvery(t, '-', c.n);
    EXPECT_STREQ(t.get(), c.result) << c.text << " every " << c.n;
  }

  plat::String u("MiXed");
  plat::strToUpper(u);
  EXPECT_STREQ(u.get(), "MIXED");
  plat::strToLower(u);
  EXPECT_STREQ(u.get(), "mixed");
}

TEST(StrStartsWith, AbsentTextAndPrefix) {
  EXPECT_TRUE(plat::strStartsWith("hello", "he"));
  EXPECT_FALSE(plat::strStartsWith("hello", "lo"));
  EXPECT_TRUE(plat::strStartsWith("hello", nullptr));
  EXPECT_TRUE(plat::strStartsWith(nullptr, ""));
  EXPECT_FALSE(plat::strStartsWith(nullptr, "a"));
}

TEST(StrSplitAll, KeepsEmptyPieces) {
  struct Case {
    const char* text;
    std::vector<std::string> pieces;
  } cases[] = {
      {nullptr, {}},
      {"", {""}},
      {"a", {"a"}},
      {"a,b", {"a", "b"}},
      {",a,,b,", {"", "a", "", "b", ""}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::strSplitAll(c.text, ','), c.pieces) << (c.text ? c.text : "(null)");
}

TEST(StrEqual, AbsentTextsAreEqualOnlyToEachOther) {
  EXPECT_TRUE(plat::strEqual(nullptr, nullptr));
  EXPECT_FALSE(plat::strEqual(nullptr, ""));
  EXPECT_FALSE(plat::strEqual("", nullptr));
  EXPECT_TRUE(plat::strEqual("ab", "ab"));
  EXPECT_FALSE(plat::strEqual("ab", "abc"));
}

TEST(StrDecimal, WholeTextOrDefault) {
  struct Case {
    const char* text;
    long value;
  } cases[] = {
      {nullptr, -7}, {"", -7}, {"12", 12}, {" -3", -3}, {"12x", -7}, {"x", -7}, {"0", 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::strDecimal(c.text, -7), c.value) << (c.text ? c.text : "(null)");
}

TEST(StringVector, EraseMovesFollowingElementsDown) {
  plat::StringVector v{"a", "b", "c", "d"};
  v.erase(v.begin() + 1, v.begin() + 3);
  ASSERT_EQ(v.size(), 2u);
  EXPECT_STREQ(v[0].get(), "a");
  EXPECT_STREQ(v[1].get(), "d");
}

} // namespace
