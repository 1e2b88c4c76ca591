#include "chat/ChatOptions.h"

#include "RecordingRender.h"
#include "chat/ChatHistory.h"
#include "plat/ConfigurationFile.h"
#include "plat/Exception.h"

#include "FileContents.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using testing_support::fileMode;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

TEST(ChatOptions, DefaultsNamesAndDescriptions) {
  ChatOptions options;
  EXPECT_STREQ(options.getName(), "ChatOptions");
  EXPECT_EQ(options.getNext(), nullptr);
  EXPECT_STREQ(options.chatLogFile.getValue().c_str(), "$HOME/.zav/zavchat.xml");
  EXPECT_TRUE(options.keepHistory);
  EXPECT_EQ(options.expiryDays, 90);
  EXPECT_EQ(options.expiryMessages, 0);
  struct Case {
    const char* name;
    const char* description;
  } cases[] = {{"chatlogfile", "Location of the message history file."},
               {"KeepHistory", "Keep chat history."},
               {"EXPIRYDAYS", "Number of days to keep chat history."},
               {"ExpiryMessages", "Number of messages to keep in chat history."}};
  for (const Case& c : cases) {
    plat::ConfigParameter* p = options.find(c.name);
    ASSERT_NE(p, nullptr) << c.name;
    EXPECT_STREQ(p->getDescription(), c.description);
    EXPECT_EQ(plat::ParameterSet::global().find(c.name), nullptr) << "not global";
  }
  // The whole int range, negative values included, is accepted.
  EXPECT_TRUE(options.setParam("ExpiryDays", "-5", 50));
  EXPECT_EQ(options.expiryDays, -5);
  EXPECT_TRUE(options.setParam("ExpiryMessages", "2147483647", 50));
}

class ChatOptionsSave : public ::testing::Test {
protected:
  std::string path() const { return dir.file("home/.zav/config.d/chat"); }
  TempDir dir;
  ChatOptions live;
};

TEST_F(ChatOptionsSave, OnlyChangedSettingsAreWrittenAndOtherEntriesKept) {
  plat::ParameterSet working(live);
  working.setParam("ExpiryMessages", "50", 50);
  working.setParam("ExpiryDays", "0", 50);
  ChatOptions::saveChanges(working, live, path().c_str());
  EXPECT_EQ(fileMode(dir.file("home/.zav/config.d")), 0700);
  EXPECT_EQ(fileMode(dir.file("home/.zav")), 0700);
  plat::ConfigurationFile::Map entries;
  plat::ConfigurationFile::readMap(path().c_str(), entries);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(*entries["ExpiryMessages"], "50");
  EXPECT_EQ(*entries["ExpiryDays"], "0");

  // A later save keeps what it does not change, and a value set back to the
  // live one is not touched.
  writeFile(path(), readFile(path()) + "Unrelated=kept\n");
  live.setValuesFrom(working);
  plat::ParameterSet again(live);
  again.setParam("KeepHistory", "0", 50);
  ChatOptions::saveChanges(again, live, path().c_str());
  entries.clear();
  plat::ConfigurationFile::readMap(path().c_str(), entries);
  EXPECT_EQ(entries.size(), 4u);
  EXPECT_EQ(*entries["KeepHistory"], "0");
  EXPECT_EQ(*entries["Unrelated"], "kept");
}

TEST_F(ChatOptionsSave, NoChangeLeavesTheFileButMakesTheDirectory) {
  plat::ParameterSet working(live);
  ChatOptions::saveChanges(working, live, path().c_str());
  EXPECT_EQ(fileMode(dir.file("home/.zav/config.d")), 0700);
  EXPECT_TRUE(readFile(path()) == "" || readFile(path()) == "<missing>") << readFile(path());
  writeFile(path(), "ExpiryDays=12\n");
  ChatOptions::saveChanges(working, live, path().c_str());
  EXPECT_EQ(readFile(path()), "ExpiryDays=12\n");
}

TEST_F(ChatOptionsSave, AFileInPlaceOfTheDirectoryFails) {
  writeFile(dir.file("plain"), "x");
  plat::ParameterSet working(live);
  working.setParam("ExpiryDays", "1", 50);
  EXPECT_THROW(ChatOptions::saveChanges(working, live, dir.file("plain/chat").c_str()),
               plat::Exception);
  EXPECT_EQ(readFile(dir.file("plain")), "x");
  EXPECT_EQ(live.expiryDays, 90);
}

TEST_F(ChatOptionsSave, SavedMessageLimitGovernsTheNextHistorySave) {
  live.chatLogFile.setParam(dir.file("chat.xml").c_str(), 50);
  chat_test::RecordingRender view;
  chat::ChatHistory history(&view, &live);
  for (int i = 0; i < 60; i++)
    history.addMessage("ann", "ep", ("line " + std::to_string(i)).c_str());
  plat::ParameterSet working(live);
  working.setParam("ExpiryMessages", "50", 50);
  working.setParam("ExpiryDays", "0", 50);
  ChatOptions::saveChanges(working, live, path().c_str());
  live.setValuesFrom(working);
  history.save();

  ChatOptions reread;
  plat::ConfigurationFile::readParameters(reread, path().c_str(), 50);
  reread.chatLogFile.setParam(dir.file("chat.xml").c_str(), 50);
  reread.expiryMessages.setValue(0, 50);
  chat::ChatHistory loaded(&view, &reread);
  loaded.load();
  ASSERT_EQ(loaded.records().size(), 50u);
  EXPECT_EQ(loaded.records().front().text, "line 10");
}

} // namespace
