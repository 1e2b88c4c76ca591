// The history saved as window mode ends: whatever the save throws is logged
// and goes no further, since it runs in a destructor.
#include "zavconfig/HistorySaver.h"

#include "CaptureLogger.h"
#include "FileContents.h"
#include "TempDir.h"
#include "chat/ChatHistory.h"
#include "chat/ChatOptions.h"
#include "libs/chat/tests/RecordingRender.h"
#include "plat/Exception.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

using zavconfig::HistorySaver;

namespace {

void outOfMemory(chat::ChatHistory*) {
  throw std::bad_alloc();
}

TEST(HistorySaver, SavesAtTheEndAndLogsAnyFailure) {
  struct Case {
    const char* name;
    const char* file;                 // below the test's folder
    void (*save)(chat::ChatHistory*); // null: the real save
    const char* logged;               // null: nothing logged, the file written
  } cases[] = {
      {"saved", "chat.xml", nullptr, nullptr},
      {"a file error", "plain/chat.xml", nullptr,
       "Error saving Chat log: Error writing chat history"},
      {"out of memory", "chat.xml", outOfMemory, "Error saving Chat log: std::bad_alloc"},
  };
  auto realSave = HistorySaver::saveFn;
  for (const Case& c : cases) {
    testing_support::TempDir dir;
    testing_support::writeFile(dir.file("plain"), "not a folder");
    ChatOptions options;
    options.chatLogFile.setParam(dir.file(c.file).c_str(), 50);
    chat_test::RecordingRender view;
    chat::ChatHistory history(&view, &options);
    history.addMessage("ann", "ep", "hello");
    testing_support::ScopedCapture log("HistorySaver", 0);
    ASSERT_TRUE(log.found());
    if (c.save)
      HistorySaver::saveFn = c.save;
    EXPECT_NO_THROW({ HistorySaver saver(&history); }) << c.name;
    HistorySaver::saveFn = realSave;
    std::vector<std::string> lines = log.logger.textsAt(0);
    if (!c.logged) {
      EXPECT_TRUE(lines.empty()) << c.name;
      EXPECT_NE(testing_support::readFile(dir.file(c.file)).find("hello"), std::string::npos);
    } else {
      ASSERT_EQ(lines.size(), 1u) << c.name;
      EXPECT_EQ(lines[0].rfind(c.logged, 0), 0u) << c.name << ": " << lines[0];
    }
  }
}

} // namespace
