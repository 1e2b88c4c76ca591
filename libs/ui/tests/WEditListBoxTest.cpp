#include "ui/WEditListBox.h"

#include "WidgetTestHost.h"
#include "rfb/KeysymNames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using testing_support::WidgetTestHost;

struct Recorder : ui::WEditListBox::Callback {
  void itemAdded(const char* text, ui::WEditListBox*) override {
    calls.push_back(std::string("added ") + text);
  }
  void itemRenamed(const char* oldText, const char* newText, ui::WEditListBox*) override {
    calls.push_back(std::string("renamed ") + oldText + " " + newText);
  }
  void itemSelected(const char* text, ui::WEditListBox*) override {
    calls.push_back(std::string("selected ") + text);
  }
  void selectionCleared(ui::WEditListBox*) override { calls.push_back("cleared"); }
  std::vector<std::string> calls;
};

struct EditListFixture : ::testing::Test {
  EditListFixture() : list(&recorder) {
    list.setSize(200, 150);
    host.attach(&list);
  }
  void add(const char* text) {
    list.beginAdd();
    list.getEditField()->setText(text);
    list.endEdit(true);
  }
  void press(int x, int y) {
    host.pointer(x, y, 0);
    host.pointer(x, y, 1);
    host.pointer(x, y, 0);
  }
  void pressItem(int i) {
    rfb::Rect r = list.getChildRect(list.item(i));
    press(r.tl.x + 4, r.tl.y + 3);
  }
  std::vector<std::string> texts() {
    std::vector<std::string> out;
    for (int i = 0; i < list.numItems(); i++)
      out.push_back(list.item(i)->getText());
    return out;
  }

  Recorder recorder;
  ui::WEditListBox list;
  WidgetTestHost host;
};

TEST_F(EditListFixture, AddingReportsEachNewTextAndRefusesDuplicates) {
  add("alice");
  EXPECT_EQ((std::vector<std::string>{"added alice"}), recorder.calls);
  EXPECT_EQ(0, list.getSelected());
  add("alice");
  EXPECT_EQ((std::vector<std::string>{"added alice", "cleared"}), recorder.calls);
  EXPECT_EQ((std::vector<std::string>{"alice"}), texts());
  EXPECT_EQ(-1, list.getSelected());
  EXPECT_FALSE(list.addItem("alice"));
}

TEST_F(EditListFixture, AddingContinuesThroughBeginAdd) {
  list.beginAdd();
  list.getEditField()->setText("a");
  list.beginAdd();
  EXPECT_TRUE(list.isAdding());
  list.getEditField()->setText("b");
  list.endEdit(true);
  EXPECT_EQ((std::vector<std::string>{"added a", "cleared", "added b"}), recorder.calls);
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), texts());
  EXPECT_FALSE(list.isAdding());
}

TEST_F(EditListFixture, AnEmptyEditChangesNothing) {
  list.beginAdd();
  list.endEdit(true);
  EXPECT_TRUE(recorder.calls.empty());
  EXPECT_EQ(0, list.numItems());
  // Not accepted: adding goes on.
  list.beginAdd();
  list.endEdit(false);
  EXPECT_TRUE(list.isAdding());
}

TEST_F(EditListFixture, PressingTheSelectedItemRenamesIt) {
  list.addItem("alice");
  list.addItem("carol");
  pressItem(0);
  EXPECT_EQ(0, list.getSelected());
  pressItem(0);
  ASSERT_TRUE(list.isRenaming());
  EXPECT_TRUE(list.getEditField()->isVisible());
  EXPECT_STREQ("alice", list.getEditField()->getText());
  list.getEditField()->setText("bob");
  host.type(rfb::keys::Return);
  EXPECT_EQ((std::vector<std::string>{"selected alice", "selected alice", "renamed alice bob",
                                      "selected bob"}),
            recorder.calls);
  EXPECT_EQ((std::vector<std::string>{"bob", "carol"}), texts());
  EXPECT_FALSE(list.isRenaming());
}

TEST_F(EditListFixture, RenamingToAnExistingOrTheOwnTextReportsNothing) {
  list.addItem("alice");
  list.addItem("carol");
  for (const char* to : {"alice", "carol", ""}) {
    SCOPED_TRACE(to);
    pressItem(0);
    pressItem(0);
    ASSERT_TRUE(list.isRenaming());
    recorder.calls.clear();
    list.getEditField()->setText(to);
    list.endEdit(false);
    EXPECT_TRUE(recorder.calls.empty());
    EXPECT_EQ((std::vector<std::string>{"alice", "carol"}), texts());
  }
}

TEST_F(EditListFixture, RemovingTheSelectedItemHandsItsTextOver) {
  EXPECT_TRUE(list.removeSelected().isNull());
  EXPECT_TRUE(recorder.calls.empty());
  list.addItem("alice");
  list.addItem("carol");
  EXPECT_STREQ("carol", list.removeSelected().get());
  EXPECT_EQ((std::vector<std::string>{"cleared"}), recorder.calls);
  EXPECT_EQ(-1, list.getSelected());
  list.removeItem("nobody");
  list.removeItem("alice");
  EXPECT_EQ(0, list.numItems());
  EXPECT_EQ(1u, recorder.calls.size());
}

TEST_F(EditListFixture, PressingBelowTheLastItemClearsTheSelection) {
  list.addItem("alice");
  ASSERT_EQ(0, list.getSelected());
  press(50, 120);
  EXPECT_EQ(-1, list.getSelected());
  EXPECT_EQ((std::vector<std::string>{"cleared"}), recorder.calls);
}

TEST_F(EditListFixture, ManyItemsScrollAndTheLastStaysReachable) {
  for (int i = 0; i < 20; i++)
    list.addItem(("user" + std::to_string(i)).c_str());
  EXPECT_TRUE(list.getScrollBar()->isVisible());
  list.beginAdd();
  rfb::Rect edit = list.getChildRect(list.getEditField());
  EXPECT_TRUE(list.getEditField()->isVisible());
  EXPECT_LE(edit.br.y, list.height());
  EXPECT_GT(edit.tl.y, 0);
}

} // namespace
