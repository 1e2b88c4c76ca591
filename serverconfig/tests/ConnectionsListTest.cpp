#include "serverconfig/ConnectionsList.h"

#include "plat/Exception.h"
#include "zav/Access.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using serverconfig::ConnectionsList;
using Entry = ConnectionsList::Entry;

// Serves a list the test sets and records what the model asked.
class FakeServer : public ConnectionsList::Callback {
public:
  bool disconnect(const Entry& e) override {
    calls.push_back(std::string("disconnect ") + e.user.c_str());
    return accept;
  }
  bool setAccess(const Entry& e, std::uint16_t rights) override {
    calls.push_back(std::string("setAccess ") + e.user.c_str() + " " + std::to_string(rights));
    return accept;
  }
  void list(std::vector<Entry>& out) override {
    EXPECT_TRUE(out.empty());
    if (failList)
      throw plat::Exception("list failed");
    out = connections;
  }
  void notify(const std::vector<Entry>& added, const std::vector<Entry>& removed) override {
    notices.push_back({added, removed});
  }

  std::vector<Entry> connections;
  bool accept = true;
  bool failList = false;
  std::vector<std::string> calls;
  std::vector<std::pair<std::vector<Entry>, std::vector<Entry>>> notices;
};

const Entry alice("alice", "10.0.0.1", "1", zav::Access::Full);
const Entry bob("bob", "10.0.0.2", nullptr, zav::Access::View);

TEST(ConnectionsListEntry, AccessText) {
  struct Case {
    std::uint16_t rights;
    const char* text;
  } cases[] = {{zav::Access::Full, "Full"},
               {zav::Access::Default, "Default"},
               {zav::Access::View, "View only"},
               {zav::Access::NoAccess, "Custom"},
               {zav::Access::View | zav::Access::KeyEvents, "Custom"},
               {zav::Access::Default | zav::Access::NoQuery, "Custom"},
               {0xFFFE, "Custom"}};
  for (const Case& c : cases)
    EXPECT_STREQ(Entry(nullptr, nullptr, nullptr, c.rights).accessText(), c.text) << c.rights;
}

TEST(ConnectionsListEntry, EqualityWithAbsentTexts) {
  EXPECT_EQ(alice, Entry("alice", "10.0.0.1", "1", zav::Access::Full));
  EXPECT_NE(alice, Entry("alice", "10.0.0.1", nullptr, zav::Access::Full));
  EXPECT_NE(alice, Entry("alice", "10.0.0.1", "", zav::Access::Full));
  EXPECT_NE(alice, Entry("alice", "10.0.0.1", "1", zav::Access::View));
  EXPECT_EQ(Entry(), Entry());
  EXPECT_NE(Entry(), Entry("", nullptr, nullptr, 0));
}

TEST(ConnectionsList, RefreshNotifiesOnlyOnChange) {
  FakeServer server;
  ConnectionsList model(&server);
  server.connections = {alice, bob};
  EXPECT_TRUE(model.refresh());
  ASSERT_EQ(server.notices.size(), 1u);
  EXPECT_EQ(server.notices[0].first, (std::vector<Entry>{alice, bob}));
  EXPECT_TRUE(server.notices[0].second.empty());
  EXPECT_TRUE(model.refresh());
  EXPECT_EQ(server.notices.size(), 1u);
  EXPECT_EQ(model.getEntries(), (std::vector<Entry>{alice, bob}));

  // bob leaves, alice's rights change: one notice with both sides.
  Entry aliceView = alice;
  aliceView.rights = zav::Access::View;
  server.connections = {aliceView};
  model.refresh();
  ASSERT_EQ(server.notices.size(), 2u);
  EXPECT_EQ(server.notices[1].first, (std::vector<Entry>{aliceView}));
  EXPECT_EQ(server.notices[1].second, (std::vector<Entry>{alice, bob}));
  EXPECT_EQ(model.count(), 1u);
}

TEST(ConnectionsList, FailedListingKeepsTheRecords) {
  FakeServer server;
  ConnectionsList model(&server);
  server.connections = {alice};
  model.refresh();
  server.failList = true;
  EXPECT_THROW(model.refresh(), plat::Exception);
  EXPECT_EQ(model.getEntries(), (std::vector<Entry>{alice}));
  EXPECT_EQ(server.notices.size(), 1u);
}

TEST(ConnectionsList, Actions) {
  FakeServer server;
  ConnectionsList model(&server);
  server.connections = {alice, bob};
  model.refresh();
  EXPECT_TRUE(model.disconnect(1));
  EXPECT_EQ(model.count(), 2u); // the next refresh drops it
  EXPECT_TRUE(model.setAccess(0, zav::Access::Default));
  EXPECT_STREQ(model.getEntries()[0].accessText(), "Default");
  server.accept = false;
  EXPECT_FALSE(model.setAccess(1, zav::Access::Full));
  EXPECT_STREQ(model.getEntries()[1].accessText(), "View only");
  EXPECT_FALSE(model.disconnect(0));
  EXPECT_EQ(server.calls, (std::vector<std::string>{"disconnect bob", "setAccess alice 1023",
                                                    "setAccess bob 65535", "disconnect alice"}));
}

TEST(ConnectionsList, MissingFromKeepsOrderAndDuplicates) {
  std::vector<Entry> out = {bob};
  ConnectionsList::missingFrom(out, {alice, bob, alice}, {bob});
  EXPECT_EQ(out, (std::vector<Entry>{bob, alice, alice}));
}

// Records that differ in one field only, an absent text against an empty one
// among them: each is found exactly when an equal record is in the other list.
TEST(ConnectionsList, MissingFromMatchesOnlyEqualRecords) {
  const std::vector<Entry> all = {
      Entry(),
      Entry("", nullptr, nullptr, 0),
      Entry(nullptr, "", nullptr, 0),
      Entry(nullptr, nullptr, "", 0),
      Entry(nullptr, nullptr, nullptr, 1),
      alice,
      Entry("alice", "10.0.0.1", nullptr, zav::Access::Full),
      Entry("alice", "10.0.0.1", "1", zav::Access::View),
      Entry("alice", "10.0.0.10", "1", zav::Access::Full),
      bob,
      Entry("bob", "10.0.0.2", "", zav::Access::View),
  };
  for (size_t i = 0; i < all.size(); i++) {
    for (size_t j = 0; j < all.size(); j++) {
      std::vector<Entry> out;
      ConnectionsList::missingFrom(out, {all[i]}, {all[j], bob, Entry()});
      bool present = i == j || all[i] == bob || all[i] == Entry();
      EXPECT_EQ(out.empty(), present) << "record " << i << " against " << j;
    }
  }

  // Many records in another order: only those left out of the other list.
  std::vector<Entry> many, most;
  for (int i = 0; i < 2000; i++)
    many.push_back(Entry(("user" + std::to_string(i % 97)).c_str(),
                         ("10.0." + std::to_string(i)).c_str(), nullptr, std::uint16_t(i % 3)));
  for (size_t i = many.size(); i-- > 0;)
    if (i % 250 != 7)
      most.push_back(many[i]);
  std::vector<Entry> out;
  ConnectionsList::missingFrom(out, many, most);
  std::vector<Entry> expected;
  for (size_t i = 0; i < many.size(); i++)
    if (i % 250 == 7)
      expected.push_back(many[i]);
  EXPECT_EQ(out, expected);
}

} // namespace
