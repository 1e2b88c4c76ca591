#include "rfb/Keysyms.h"
#include "rfb/KeysymTable.h"

#include <gtest/gtest.h>
#include <set>
#include <xkbcommon/xkbcommon.h>

using namespace rfb;

TEST(Keysyms, KeysymToUnicodeTable) {
  struct Case {
    uint32_t keysym, ucs;
  } cases[] = {
      {0x41, 0x41},      {0xE9, 0xE9},        {0x1F, 0},      {0x7F, 0},        {0x9F, 0},
      {0xA0, 0xA0},      {0xFF0D, 0x0A},      {0xFF8D, 0x0A}, {0xFF08, 0x08},   {0xFF09, 0x09},
      {0xFF1B, 0x1B},    {0xFFFF, 0x7F},      {0xFF9F, 0x7F}, {0xFFB5, 0x35},   {0xFF80, 0x20},
      {0x1A1, 0x104},    {0x6C1, 0x430},      {0x7E9, 0x3B9}, {0x20AC, 0x20AC}, {0x13BC, 0x152},
      {0x1000041, 0x41}, {0x1001E02, 0x1E02}, {0x1000007, 0}, {0xFFE1, 0},      {0xFFBE, 0},
      {0xDEADBEEF, 0},   {0x10020A0, 0x20A0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(keysymToUnicode(c.keysym), c.ucs) << std::hex << c.keysym;
}

TEST(Keysyms, UnicodeToKeysymAndBack) {
  struct Case {
    uint32_t ucs, keysym;
  } cases[] = {{0x41, 0x41},     {0xFF, 0xFF},        {0x104, 0x1A1},        {0x430, 0x6C1},
               {0x20AC, 0x20AC}, {0x1E02, 0x1001E02}, {0x10FFFF, 0x110FFFF}, {0x110000, 0},
               {0x0A, 0xFF0D},   {0x85, 0},           {0xFFFFFFFF, 0}};
  for (const Case& c : cases)
    EXPECT_EQ(unicodeToKeysym(c.ucs), c.keysym) << std::hex << c.ucs;
  EXPECT_EQ(legacyKeysym(0x1000104), 0x1A1u);
  EXPECT_EQ(legacyKeysym(0x1001E02), 0x1001E02u);
  EXPECT_EQ(legacyKeysym(0xFF0D), 0xFF0Du);
}

TEST(Keysyms, CanonicalAndAlias) {
  EXPECT_EQ(canonicalKeysym(0xFFE2), 0xFFE1u);
  EXPECT_EQ(canonicalKeysym(0xFF7E), 0xFE03u);
  EXPECT_EQ(canonicalKeysym(0xFF8D), 0xFF0Du);
  EXPECT_EQ(canonicalKeysym(0x1000020), 0x20u);
  EXPECT_EQ(canonicalKeysym(0x61), 0x61u);
  EXPECT_EQ(aliasKeysym(0xFFB0), 0x30u);
  EXPECT_EQ(aliasKeysym(0x30), 0xFFB0u);
  EXPECT_EQ(aliasKeysym(0x61), 0u);
}

TEST(Keysyms, Classification) {
  EXPECT_TRUE(isDeadKeysym(0xFE50));
  EXPECT_TRUE(isDeadKeysym(0xFE63));
  EXPECT_FALSE(isDeadKeysym(0xFE64));
  EXPECT_TRUE(isDeadKeysym(0x1000344));
  EXPECT_TRUE(isModifierKeysym(0xFFE1));
  EXPECT_TRUE(isModifierKeysym(0xFE03));
  EXPECT_TRUE(isModifierKeysym(0xFF7F));
  EXPECT_FALSE(isModifierKeysym(0xFFF0));
  EXPECT_TRUE(isKeypadKeysym(0xFF80));
  EXPECT_TRUE(isKeypadKeysym(0xFFBD));
  EXPECT_FALSE(isKeypadKeysym(0xFFBE));
}

TEST(Keysyms, KeysymFromName) {
  struct Case {
    const char* name;
    uint32_t keysym;
  } cases[] = {
      {"a", 0x61},
      {"\xC3\xA9", 0xE9},
      {"\xE2\x82\xAC", 0x20AC},
      {"F1", 0xFFBE},
      {"F12", 0xFFC9},
      {"F19", 0xFFD0},
      {"F20", 0},
      {"F0", 0},
      {"", 0},
      {"ab", 0},
      {"\xC3", 0},
      {"\x80", 0},
      {"\xE2\x82", 0},
      {"\xF0\x9F\x98\x80", 0x101F600},
      {"f1", 0},
      {"F1x", 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(keysymFromName(c.name), c.keysym) << c.name;
}

// The table agrees with libxkbcommon's own keysym table: every pair it
// holds is an exact correspondence.
TEST(Keysyms, TableAgreesWithXkbcommon) {
  ASSERT_GT(keysymUnicodeCount, 600u);
  int differ = 0;
  for (size_t i = 0; i < keysymUnicodeCount; i++) {
    const KeysymUnicode& e = keysymUnicodeTable[i];
    uint32_t theirs = xkb_keysym_to_utf32(e.keysym);
    if (theirs != e.ucs) {
      differ++;
      ADD_FAILURE() << std::hex << "keysym 0x" << e.keysym << ": 0x" << e.ucs << " vs 0x" << theirs;
    }
  }
  EXPECT_EQ(differ, 0);
}

// Each keysym group holds exactly its own number of pairs (the group is the
// keysym's second byte), whatever keysym definitions the machine has.
TEST(Keysyms, TableGroupCounts) {
  struct Group {
    const char* name;
    uint32_t high;
    int count;
  } groups[] = {{"Latin-2", 0x01, 57},    {"Latin-3", 0x02, 22},   {"Latin-4", 0x03, 35},
                {"Katakana", 0x04, 64},   {"Arabic", 0x05, 48},    {"Cyrillic", 0x06, 93},
                {"Greek", 0x07, 71},      {"technical", 0x08, 39}, {"special", 0x09, 23},
                {"publishing", 0x0a, 77}, {"APL", 0x0b, 8},        {"Hebrew", 0x0c, 28},
                {"Thai", 0x0d, 83},       {"Korean", 0x0e, 91},    {"Latin-9", 0x13, 3},
                {"currency", 0x20, 1}};
  int total = 0;
  for (const Group& g : groups) {
    int n = 0;
    for (size_t i = 0; i < keysymUnicodeCount; i++)
      n += keysymUnicodeTable[i].keysym >> 8 == g.high;
    EXPECT_EQ(n, g.count) << g.name;
    total += n;
  }
  EXPECT_EQ(size_t(total), keysymUnicodeCount) << "pairs outside the groups";
  EXPECT_EQ(keysymUnicodeCount + 5, 748u); // and the five control keys
}

// Approximate correspondences and later additions have no pair; no code
// point belongs to two keysyms, so both directions agree.
TEST(Keysyms, TableLeavesOutApproximations) {
  for (uint32_t keysym : {0xba3u, 0xba6u, 0xbc0u, 0xbcfu, 0x8a2u, 0x8a3u, 0x8a6u, 0xabcu, 0xabdu,
                          0xabeu, 0x6adu, 0x6bdu})
    EXPECT_EQ(keysymToUnicode(keysym), 0u) << std::hex << keysym;
  std::set<uint32_t> codes;
  for (size_t i = 0; i < keysymUnicodeCount; i++) {
    const KeysymUnicode& e = keysymUnicodeTable[i];
    EXPECT_TRUE(codes.insert(e.ucs).second) << std::hex << e.ucs;
    EXPECT_EQ(unicodeToKeysym(e.ucs), e.ucs <= 0xFF ? e.ucs : e.keysym) << std::hex << e.keysym;
  }
  EXPECT_EQ(unicodeToKeysym(0x25CB), 0xaceu);
  EXPECT_EQ(keysymToUnicode(0xeff), 0x20A9u);
}
