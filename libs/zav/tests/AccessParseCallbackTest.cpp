#include "zav/AccessParseCallback.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using namespace zav::Access;

class Recorder : public ParseCallback {
public:
  bool entry(const char* name, Rights& rights) override {
    seen.emplace_back(name, rights.value());
    return true;
  }
  std::vector<std::pair<std::string, unsigned>> seen;
};

class Counting : public Recorder {
public:
  Rights result() override { return static_cast<std::uint16_t>(seen.size()); }
};

TEST(ParseList, Table) {
  using Seen = std::vector<std::pair<std::string, unsigned>>;
  struct Case {
    const char* list;
    Seen expected;
  } cases[] = {
      {"alice:vk,bob,,carol:", {{"alice", 0x3}, {"bob", 0x3FF}, {"", 0}, {"carol", 0}}},
      {"", {}},
      {":f", {{"", 0xFFFF}}},
      {"a,", {{"a", 0x3FF}, {"", 0}}},
      {",", {{"", 0}, {"", 0}}},
      {" bob:v", {{" bob", 0x1}}},
      {"bob :d-c+q", {{"bob ", 0x7F7}}},
      {"*:v,@staff:q", {{"*", 0x1}, {"@staff", 0x400}}},
  };
  for (const Case& c : cases) {
    Recorder r;
    EXPECT_EQ(parseList(c.list, r, false).value(), NoAccess) << c.list;
    EXPECT_EQ(r.seen, c.expected) << c.list;
  }
}

TEST(ParseList, ReturnsTheCallbacksResult) {
  Counting c;
  EXPECT_EQ(parseList("a,b,c", c, false).value(), 3);
  Counting empty;
  EXPECT_EQ(parseList("", empty, false).value(), 0);
  EXPECT_EQ(parseList(nullptr, empty, false).value(), 0);
}

TEST(ParseList, BadLetterStopsTheListUnlessIgnored) {
  Recorder strict;
  EXPECT_THROW(parseList("a:v,b:vz,c:k", strict, false), Rights::BadAccessException);
  ASSERT_EQ(strict.seen.size(), 1u);
  EXPECT_EQ(strict.seen[0].first, "a");

  // Only the first colon splits: the second one is read as a letter.
  Recorder colon;
  EXPECT_THROW(parseList("x:v:k", colon, false), Rights::BadAccessException);
  Recorder colonLenient;
  parseList("x:v:k", colonLenient, true);
  EXPECT_EQ(colonLenient.seen[0].second, View | KeyEvents);

  Recorder lenient;
  parseList("a:v,b:vz,c:k", lenient, true);
  ASSERT_EQ(lenient.seen.size(), 3u);
  EXPECT_EQ(lenient.seen[1].second, View);
  EXPECT_EQ(lenient.seen[2].second, KeyEvents);
}

} // namespace
