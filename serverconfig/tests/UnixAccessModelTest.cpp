// The users and groups lists: loading and writing back, the tick-box
// cascade with its letters, names that would break the list format, and
// entries with letters this program does not know.
#include "serverconfig/UnixAccessModel.h"

#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"
#include "zav/Access.h"

#include "ThrownMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using serverconfig::UnixAccessModel;
using testing_support::thrownMessage;
using Names = std::vector<std::string>;

class UnixAccess : public ::testing::Test {
protected:
  plat::ParameterSet params{"Xzav"};
  plat::StringParameter users{"AllowedUsers", "", "", false, &params};
  plat::StringParameter groups{"AllowedGroups", "", "", false, &params};
  UnixAccessModel model;

  void load(const char* u, const char* g = "", const char* current = "alice") {
    users.setParam(u, 50);
    groups.setParam(g, 50);
    model.load(params, current);
  }
  std::string stored(plat::StringParameter& p) {
    model.store(params);
    return p.getValueStr().c_str();
  }
  // Clicks a box on the entry's boxes and stores them, as the dialog does.
  void clickBox(const char* name, int box) {
    UnixAccessModel::Boxes boxes =
        UnixAccessModel::showRights(model.find(UnixAccessModel::Users, name)->rights);
    boxes[box] = !boxes[box];
    UnixAccessModel::click(boxes, box);
    model.setRights(UnixAccessModel::Users, name, boxes);
  }
  std::string letters(const char* name) {
    return model.find(UnixAccessModel::Users, name)->letters.c_str();
  }
};

TEST_F(UnixAccess, EmptyNameIsTheCurrentUser) {
  load(":f");
  EXPECT_EQ(Names{"alice"}, model.names(UnixAccessModel::Users));
  UnixAccessModel::Boxes all;
  all.fill(true);
  EXPECT_EQ(all, UnixAccessModel::showRights(model.find(UnixAccessModel::Users, "alice")->rights));
  EXPECT_EQ("alice:f", stored(users));
}

TEST_F(UnixAccess, UnlistedPiecesAreCarriedOver) {
  load("bob,carol:v,:k", "", nullptr);
  EXPECT_EQ(Names{"carol"}, model.names(UnixAccessModel::Users));
  EXPECT_EQ("bob,carol:v,:k", stored(users));
}

TEST_F(UnixAccess, LettersStayUntilEdited) {
  load("dave:+vk-k");
  EXPECT_EQ(zav::Access::View, model.find(UnixAccessModel::Users, "dave")->rights);
  EXPECT_EQ("dave:+vk-k", stored(users));
  clickBox("dave", UnixAccessModel::ChatBox);
  EXPECT_EQ("dave:vh", stored(users));
}

TEST_F(UnixAccess, CascadeAndLetters) {
  load("erin:v");
  clickBox("erin", UnixAccessModel::DefaultBox);
  EXPECT_EQ("d", letters("erin"));
  clickBox("erin", UnixAccessModel::KeyEventsBox);
  EXPECT_EQ("vpcthr", letters("erin"));
  clickBox("erin", UnixAccessModel::NoQueryBox);
  EXPECT_EQ("qvpcthr", letters("erin"));
  clickBox("erin", UnixAccessModel::FullBox);
  EXPECT_EQ("f", letters("erin"));
  clickBox("erin", UnixAccessModel::FullBox);
  EXPECT_EQ("qd", letters("erin"));
  UnixAccessModel::Boxes boxes =
      UnixAccessModel::showRights(model.find(UnixAccessModel::Users, "erin")->rights);
  EXPECT_FALSE(boxes[UnixAccessModel::FullBox]);
  EXPECT_TRUE(boxes[UnixAccessModel::DefaultBox]);
  clickBox("erin", UnixAccessModel::NoQueryBox);
  EXPECT_EQ("d", letters("erin"));
  clickBox("erin", UnixAccessModel::DefaultBox);
  EXPECT_EQ("vkpcthr", letters("erin"));
  UnixAccessModel::Boxes none{};
  EXPECT_EQ("", std::string(UnixAccessModel::lettersFromBoxes(none).c_str()));
}

TEST_F(UnixAccess, AddRemoveRenameAndDuplicates) {
  load("frank:v,frank:k", "");
  EXPECT_EQ(Names{"frank"}, model.names(UnixAccessModel::Users));
  clickBox("frank", UnixAccessModel::ChatBox); // edits the first
  EXPECT_EQ("frank:vh,frank:k", stored(users));
  EXPECT_TRUE(model.add(UnixAccessModel::Groups, "staff"));
  EXPECT_FALSE(model.add(UnixAccessModel::Groups, "staff"));
  EXPECT_EQ("staff:d", stored(groups));
  model.rename(UnixAccessModel::Groups, "staff", "wheel");
  model.remove(UnixAccessModel::Users, "frank");
  EXPECT_EQ("frank:k", stored(users));
  EXPECT_EQ("wheel:d", stored(groups));
  load("", "");
  EXPECT_EQ("", stored(groups));
  EXPECT_EQ("", stored(users));
  model.add(UnixAccessModel::Users, "gina");
  EXPECT_EQ("gina:d", stored(users));
}

TEST_F(UnixAccess, NamesThatWouldInjectEntriesAreRefused) {
  load("");
  for (const char* name : {"bob:f", "bob,eve", "bob eve", " bob", "bob\t", ""}) {
    EXPECT_NE("<no exception>", thrownMessage([&] { model.add(UnixAccessModel::Users, name); }))
        << name;
  }
  EXPECT_EQ("The name \"bob:f\" may not contain \",\", \":\" or blanks.",
            thrownMessage([&] { model.add(UnixAccessModel::Users, "bob:f"); }));
  model.add(UnixAccessModel::Users, "bob");
  EXPECT_NE("<no exception>",
            thrownMessage([&] { model.rename(UnixAccessModel::Users, "bob", "bob,eve:f"); }));
  EXPECT_EQ("bob:d", stored(users));
}

TEST_F(UnixAccess, UnknownLettersAreReportedAndKept) {
  load("hal:vz,ivy:k", "ops:x");
  EXPECT_EQ((Names{"hal", "ivy"}), model.names(UnixAccessModel::Users));
  EXPECT_EQ(zav::Access::View, model.find(UnixAccessModel::Users, "hal")->rights);
  ASSERT_EQ(2u, model.problems().size());
  EXPECT_EQ("Unknown access right \"z\" in AllowedUsers entry \"hal:vz\"", model.problems()[0]);
  EXPECT_EQ("hal:vz,ivy:k", stored(users));
  EXPECT_EQ("ops:x", stored(groups));
}

TEST(UnixAccessBoxes, LabelsAndRights) {
  EXPECT_STREQ("View display contents", UnixAccessModel::boxLabel(UnixAccessModel::ViewBox));
  EXPECT_STREQ("Full access", UnixAccessModel::boxLabel(UnixAccessModel::FullBox));
  UnixAccessModel::Boxes seven = UnixAccessModel::showRights(zav::Access::Default);
  EXPECT_TRUE(seven[UnixAccessModel::DefaultBox]);
  EXPECT_FALSE(seven[UnixAccessModel::NoQueryBox]);
  EXPECT_FALSE(seven[UnixAccessModel::FullBox]);
  EXPECT_EQ(zav::Access::Default, UnixAccessModel::rightsFromBoxes(seven));
}

} // namespace
