#include "rfb/DeadKeyUtil.h"

#include "rfb/KeysymNames.h"

#include <gtest/gtest.h>

#include <vector>

using rfb::DeadKeyUtil;
namespace keys = rfb::keys;

namespace {
struct Step {
  uint32_t keysym;
  bool down;
  bool consumed;
  std::vector<uint32_t> out;
};
} // namespace

TEST(DeadKeyUtil, Sequences) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
  } cases[] = {
      {"acute then e",
       {{0xFE51, true, true, {}},
        {0xFE51, false, true, {}},
        {0x65, true, true, {0xE9}},
        {0x65, false, true, {}}}},
      {"acute then space gives the apostrophe, not the acute accent",
       {{0xFE51, true, true, {}}, {0x20, true, true, {0x27}}}},
      {"diaeresis then space gives the quote",
       {{0xFE57, true, true, {}}, {0x20, true, true, {0x22}}}},
      {"grave then q falls back to accent then key",
       {{0xFE50, true, true, {}}, {0x71, true, true, {0x60, 0x71}}, {0x71, false, true, {}}}},
      {"compose then circumflex then o",
       {{keys::Multi_key, true, true, {}},
        {keys::Multi_key, false, true, {}},
        {0x5E, true, true, {}},
        {0x5E, false, true, {}},
        {0x6F, true, true, {0xF4}}}},
      {"shift passes through and keeps the dead key",
       {{0xFE51, true, true, {}},
        {keys::Shift_L, true, false, {}},
        {0x45, true, true, {0xC9}},
        {keys::Shift_L, false, false, {}}}},
      {"compose with no spacing accent swallows the key and composes nothing",
       {{keys::Multi_key, true, true, {}},
        {0x61, true, true, {}},
        {0x61, false, true, {}},
        {0x62, true, false, {}}}},
      {"plain keys pass", {{0x61, true, false, {}}, {0x61, false, false, {}}}},
      {"Greek dialytika tonos", {{0x1000344, true, true, {}}, {0x7E9, true, true, {0x7B6}}}},
      {"Welsh w circumflex", {{0xFE52, true, true, {}}, {0x77, true, true, {0x1000175}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeadKeyUtil d;
    for (size_t i = 0; i < c.steps.size(); i++) {
      const Step& s = c.steps[i];
      std::vector<uint32_t> out;
      EXPECT_EQ(d.processKey(s.keysym, s.down, &out), s.consumed) << "step " << i;
      EXPECT_EQ(out, s.out) << "step " << i;
    }
  }
}

TEST(DeadKeyUtil, DecomposeUsesTheLastTableEntry) {
  DeadKeyUtil d;
  uint32_t dead = 0, base = 0;
  ASSERT_TRUE(d.decompose(0xE9, &dead, &base));
  EXPECT_EQ(dead, 0xFE51u);
  EXPECT_EQ(base, 0x65u);
  ASSERT_TRUE(d.decompose(0xB4, &dead, &base));
  EXPECT_EQ(dead, 0xFE51u);
  EXPECT_EQ(base, 0x20u);
  ASSERT_TRUE(d.decompose(0x13BE, &dead, &base));
  EXPECT_EQ(base, uint32_t('Y'));
  EXPECT_FALSE(d.decompose(0x41, &dead, &base));
}

TEST(DeadKeyUtil, AccentLookupsInBothDirections) {
  EXPECT_EQ(DeadKeyUtil::deadToAccent(0xFE51), 0x27u);
  EXPECT_EQ(DeadKeyUtil::deadToAccent(0xFE57), 0x22u);
  EXPECT_EQ(DeadKeyUtil::accentToDead(0xB4), 0xFE51u);
  EXPECT_EQ(DeadKeyUtil::accentToDead(0x10002DA), 0xFE58u);
  EXPECT_EQ(DeadKeyUtil::accentToDead(0x41), 0u);
  EXPECT_EQ(DeadKeyUtil::deadToAccent(0xFE60), 0u);
}

TEST(DeadKeyUtil, PressesWithoutReleasesDoNotGrowWithoutBound) {
  DeadKeyUtil d;
  std::vector<uint32_t> out;
  for (uint32_t k = 0; k < 100000; k++) {
    d.processKey(0xFE51, true, &out);
    d.processKey(0x10000 + k, true, &out); // never released
  }
  EXPECT_LE(d.swallowedCount(), 256u);
  EXPECT_EQ(out.size(), 200000u); // each composed as accent then key
}
