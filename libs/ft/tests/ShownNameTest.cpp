#include "ft/ShownName.h"

#include <gtest/gtest.h>

namespace {

struct ShownCase {
  const char* what;
  std::string text;
  std::string shown;
};

class ShownNameTest : public ::testing::TestWithParam<ShownCase> {};

TEST_P(ShownNameTest, ShowsTheTextOnOneLineAsItReads) {
  EXPECT_EQ(ft::shownName(GetParam().text.c_str()), GetParam().shown) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Names, ShownNameTest,
    ::testing::Values(
        ShownCase{"plain", "report (1).txt", "report (1).txt"},
        ShownCase{"letters of other scripts", "r\xC3\xA9sum\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x98\x80",
                  "r\xC3\xA9sum\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x98\x80"},
        ShownCase{"escape sequence", "a\x1b[2Jb", "a?[2Jb"},
        ShownCase{"line breaks and tab", "a\r\nb\tc", "a??b?c"},
        ShownCase{"delete", "a\x7f", "a?"},
        ShownCase{"C1 control", "a\xC2\x9B" "31mb", "a?31mb"},
        ShownCase{"no-break space is kept", "a\xC2\xA0" "b", "a\xC2\xA0" "b"},
        ShownCase{"right-to-left override", "invoice\xE2\x80\xAEtxt.exe", "invoice?txt.exe"},
        ShownCase{"direction marks and isolates",
                  "\xE2\x80\x8E\xE2\x80\x8F\xE2\x81\xA6\xE2\x81\xA9\xD8\x9C", "?????"},
        ShownCase{"a stray continuation byte", "a\x80" "b", "a?b"},
        ShownCase{"a cut character at the end", "a\xE6\x97", "a??"},
        ShownCase{"an over-long slash", "a\xC0\xAF" "b", "a??b"},
        ShownCase{"a surrogate", "\xED\xA0\x80", "???"},
        ShownCase{"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
        ShownCase{"empty", "", ""}),
    [](const ::testing::TestParamInfo<ShownCase>& info) {
      std::string name;
      for (char c : std::string(info.param.what))
        name += isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

TEST(ShownName, NothingShowsAsEmpty) {
  EXPECT_EQ(ft::shownName(nullptr), "");
}

} // namespace
