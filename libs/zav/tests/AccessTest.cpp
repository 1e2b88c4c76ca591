#include "zav/Access.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace zav::Access;

TEST(AccessConstants, Values) {
  EXPECT_EQ(NoAccess, 0);
  EXPECT_EQ(View | KeyEvents | PtrEvents | CutText | FileTransfer | Chat | Printing, 0x7F);
  EXPECT_EQ(Default, 0x03FF);
  EXPECT_EQ(NoQuery, 0x0400);
  EXPECT_EQ(Full, 0xFFFF);
  EXPECT_EQ(Default & NoQuery, 0);
}

TEST(BitsForLetter, EveryLetterAndUnknown) {
  struct Case {
    char letter;
    unsigned mask;
  } cases[] = {{'f', 0xFFFF}, {'d', 0x03FF}, {'v', 0x1},  {'k', 0x2},  {'p', 0x4},
               {'c', 0x8},    {'t', 0x10},   {'r', 0x40}, {'h', 0x20}, {'q', 0x400}};
  for (const Case& c : cases)
    EXPECT_EQ(bitsForLetter(c.letter), c.mask) << c.letter;
  for (char bad : {'F', 'V', 'x', ' ', '+', '\0'}) {
    try {
      bitsForLetter(bad);
      ADD_FAILURE() << "no exception for " << int(bad);
    } catch (const Rights::BadAccessException& e) {
      EXPECT_STREQ(e.str(), "BadAccessException");
      EXPECT_EQ(e.letter(), bad);
    }
  }
}

TEST(RightsFromModifiers, Table) {
  struct Case {
    const char* text;
    unsigned base;
    bool ignoreErrors;
    unsigned expected;
  } cases[] = {
      {"vkp", NoAccess, false, 0x0007},   {"-t", Default, false, 0x03EF},
      {"d-c+q", NoAccess, false, 0x07F7}, {"", 0x1234, false, 0x1234},
      {"q", NoAccess, false, 0x0400},     {"+-+v", NoAccess, false, View},
      {"vx", NoAccess, true, View},       {"-", Full, false, Full},
      {"-f", Full, false, NoAccess},      {"f-q", NoAccess, false, 0xFBFF},
      {"rh", NoAccess, false, 0x0060},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Rights(c.text, c.ignoreErrors, c.base).value(), c.expected) << c.text;
}

TEST(RightsFromModifiers, UnknownLetterThrowsCarryingIt) {
  try {
    Rights("vx", false, NoAccess);
    FAIL() << "no exception";
  } catch (const Rights::BadAccessException& e) {
    EXPECT_EQ(e.letter(), 'x');
  }
  EXPECT_THROW(Rights("V", false, NoAccess), Rights::BadAccessException); // case-sensitive
}

TEST(RightsTextForms, LettersAndNames) {
  struct Case {
    unsigned value;
    const char* letters;
    const char* names;
  } cases[] = {
      {Full, "f", "Full"},
      {Default, "d", "Default"},
      {Default | NoQuery, "dq", "Default NoQuery"},
      {0x0007, "vkp", "View KeyEvents PtrEvents"},
      {NoAccess, "", "No"},
      {0x0400, "q", "NoQuery"},
      {0x0080, "", ""},
      {0x0009, "vc", "View CutText"},
      {0x0060, "rh", "Printing Chat"},
      {0x007F, "vkpctrh", "View KeyEvents PtrEvents CutText FileTransfer Printing Chat"},
      {0x8001, "v", "View"},
  };
  for (const Case& c : cases) {
    Rights r(static_cast<std::uint16_t>(c.value));
    EXPECT_STREQ(r.letters().c_str(), c.letters) << std::hex << c.value;
    EXPECT_STREQ(r.names().c_str(), c.names) << std::hex << c.value;
  }
}

TEST(RightsTextForms, LettersRoundTrip) {
  for (unsigned v : {0x0001u, 0x0047u, 0x03FFu, 0x07FFu, 0xFFFFu, 0x0460u}) {
    Rights r(static_cast<std::uint16_t>(v));
    EXPECT_EQ(Rights(r.letters().c_str(), false, NoAccess).value(), v) << std::hex << v;
  }
}

} // namespace
