// The host rules: entries read and checked as the address filter reads them,
// the rule list's load/store table, insert positions and button bounds.
#include "serverconfig/AccessControlEntry.h"
#include "serverconfig/AccessControlList.h"

#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"
#include "serverconfig/tests/HostRulesTable.h"

#include "ThrownMessage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using serverconfig::AccessControlEntry;
using serverconfig::AccessControlList;
using testing_support::thrownMessage;

std::string maskMessage(const char* mask) {
  return std::string("The subnet mask \"") + mask +
         "\" is not valid because it matches all IP addresses.\nPlease enter a more "
         "restrictive subnet mask.\n\n(If you really want to match all IP addresses, please "
         "use the \"Default\"\n Access Control entry instead of a subnet mask.)";
}

class Rules : public ::testing::Test {
protected:
  plat::ParameterSet params{"Xzav"};
  plat::StringParameter hosts{"Hosts", "", "", false, &params};
  AccessControlList list;

  std::string rows() {
    std::string text;
    for (int i = 0; i < list.count(); i++)
      text += (i ? "; " : "") + std::string(list.entry(i).display());
    return text;
  }
  void loadFrom(const char* value) {
    hosts.setParam(value, 50);
    list.load(params);
  }
};

TEST_F(Rules, LoadAndStoreTable) {
  for (const testing_support::HostRulesCase& c : testing_support::hostRulesCases) {
    SCOPED_TRACE(c.hosts);
    loadFrom(c.hosts);
    EXPECT_EQ(c.rows, rows());
    list.store(params);
    EXPECT_STREQ(c.stored, hosts.getValueStr().c_str());
    EXPECT_EQ(50, hosts.getPriority());
  }
}

TEST_F(Rules, ButtonBoundsOnFourRows) {
  loadFrom("+1.1.1.1,+2.2.2.2,+3.3.3.3,-");
  struct Case {
    int row;
    bool edit, remove, up, down;
  } cases[] = {
      {0, true, true, false, true},     {1, true, true, true, true},
      {2, true, true, true, false},     {3, true, false, false, false},
      {-1, false, false, false, false},
  };
  for (const Case& c : cases) {
    list.select(c.row);
    EXPECT_EQ(c.edit, list.canEdit()) << c.row;
    EXPECT_EQ(c.remove, list.canRemove()) << c.row;
    EXPECT_EQ(c.up, list.canMoveUp()) << c.row;
    EXPECT_EQ(c.down, list.canMoveDown()) << c.row;
  }
}

TEST_F(Rules, MovesAndRemovalKeepTheDefaultLast) {
  loadFrom("+1.1.1.1,+2.2.2.2,-");
  list.select(1);
  list.moveDown(); // would pass the Default row
  list.moveUp();
  EXPECT_EQ(0, list.selected());
  EXPECT_EQ("+2.2.2.2,+1.1.1.1,-", std::string(list.joined().c_str()));
  list.moveDown();
  EXPECT_EQ(1, list.selected());
  list.select(2);
  list.remove(); // the Default row stays
  EXPECT_EQ(3, list.count());
  list.select(0);
  list.remove();
  EXPECT_EQ(0, list.selected());
  EXPECT_EQ("+2.2.2.2,-", std::string(list.joined().c_str()));
}

TEST_F(Rules, InsertPositions) {
  AccessControlEntry rule;
  rule.setAction(AccessControlEntry::Query);
  rule.setPattern("9.9.9.9");
  loadFrom("+1.1.1.1,-");
  list.select(-1);
  list.add(rule);
  EXPECT_EQ("+1.1.1.1,?9.9.9.9,-", std::string(list.joined().c_str()));
  EXPECT_EQ(-1, list.selected());
  list.select(0);
  list.add(rule);
  EXPECT_EQ("?9.9.9.9,+1.1.1.1,?9.9.9.9,-", std::string(list.joined().c_str()));
  EXPECT_EQ(0, list.selected());
}

TEST_F(Rules, SelectionBeyondAReloadedListIsCleared) {
  loadFrom("+1.1.1.1,+2.2.2.2,-");
  list.select(2);
  loadFrom("+");
  EXPECT_EQ(-1, list.selected());
}

TEST_F(Rules, EditingTheDefaultKeepsItTheDefault) {
  loadFrom("+1.2.3.4 ,-");
  list.select(1);
  AccessControlEntry working = list.entry(1);
  working.setAction(AccessControlEntry::Accept);
  working.validate();
  list.edit(working);
  EXPECT_EQ("+1.2.3.4 ,+", std::string(list.joined().c_str()));
  EXPECT_EQ("Accept - Default", std::string(list.entry(1).display()));
}

TEST_F(Rules, MissingHostsParameterIsReported) {
  plat::ParameterSet empty{"Other"};
  EXPECT_NE("<no exception>", thrownMessage([&] { list.load(empty); }));
}

TEST(AccessControlEntry, Validation) {
  struct Case {
    const char* pattern;
    std::string message;
  } cases[] = {
      {"", "You must enter a valid IP address or subnet mask."},
      {"192.168.0.0/0", maskMessage("0")},
      {"10.0.0.0/0.0.0.0", maskMessage("0.0.0.0")},
      {"abc", "You must enter a valid IP address or subnet mask."},
      {"abc/24", "You must enter a valid IP address or subnet mask."},
      {"1.2.3.4/33", "You must enter a valid IP address or subnet mask."},
      {"1.2.3.4 ", "You must enter a valid IP address or subnet mask."},
      {"192.168.0.0/24", "<no exception>"},
      {"192.168.0.1", "<no exception>"},
      {"10.0.0.0/255.0.0.0", "<no exception>"},
  };
  for (const Case& c : cases) {
    AccessControlEntry e;
    e.setAction(AccessControlEntry::Accept);
    e.setPattern(c.pattern);
    std::string expected = c.message.substr(0, 255);
    EXPECT_EQ(expected, thrownMessage([&] { e.validate(); })) << c.pattern;
  }
  AccessControlEntry blank;
  EXPECT_EQ("You must choose either Accept, Reject or Query",
            thrownMessage([&] { blank.validate(); }));
}

TEST(AccessControlEntry, TextsFollowActionAndPattern) {
  AccessControlEntry e;
  e.setPattern("1.2.3.4");
  EXPECT_STREQ("", e.text()); // no action yet
  e.setAction(AccessControlEntry::Reject);
  EXPECT_STREQ("-1.2.3.4", e.text());
  EXPECT_STREQ("Reject - 1.2.3.4", e.display());
  AccessControlEntry def("?");
  EXPECT_TRUE(def.isDefault());
  EXPECT_STREQ("Default", def.pattern());
  def.setAction(AccessControlEntry::Accept);
  EXPECT_STREQ("+", def.text());
  EXPECT_EQ("Invalid pattern", thrownMessage([] { AccessControlEntry(" +1.2.3.4"); }));
}

} // namespace
