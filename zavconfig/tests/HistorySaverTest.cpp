// The history saved as window mode ends (whatever the save throws is logged
// and goes no further, since it runs in a destructor), a few seconds after
// new lines arrive, and when the program must end at once.
#include "zavconfig/HistorySaver.h"

#include "CaptureLogger.h"
#include "FileContents.h"
#include "ManualClock.h"
#include "TempDir.h"
#include "chat/ChatHistory.h"
#include "chat/ChatOptions.h"
#include "libs/chat/tests/RecordingRender.h"
#include "plat/Exception.h"
#include "plat/TimerManager.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
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

int savesSeen = 0;
void countingSave(chat::ChatHistory* history) {
  savesSeen++;
  history->save();
}

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    n++;
  return n;
}

// Lines are saved soon after they arrive, those of one burst in one save, so
// a program killed later loses none of them.
TEST(HistorySaver, SavesSoonAfterNewLinesOnceForABurst) {
  testing_support::TempDir dir;
  testing_support::ManualClock clock;
  plat::TimerManager timers;
  ChatOptions options;
  std::string file = dir.file("chat.xml");
  options.chatLogFile.setParam(file.c_str(), 50);
  chat_test::RecordingRender view;
  chat::ChatHistory history(&view, &options);
  auto realSave = HistorySaver::saveFn;
  HistorySaver::saveFn = countingSave;
  savesSeen = 0;
  {
    HistorySaver saver(&history);
    for (const char* line : {"one", "two", "three"}) {
      history.addMessage("ann", "ep", line);
      clock.advanceMs(500);
      timers.processTimers();
    }
    EXPECT_EQ(testing_support::readFile(file), "<missing>");
    clock.advanceMs(HistorySaver::saveDelayMs - 1000);
    timers.processTimers();
    EXPECT_EQ(savesSeen, 1);
    EXPECT_EQ(count(testing_support::readFile(file), "<message "), 3u);
    // Nothing new: no timer, no save.
    clock.advanceMs(10 * HistorySaver::saveDelayMs);
    timers.processTimers();
    EXPECT_EQ(savesSeen, 1);
    history.addMessage("ann", "ep", "four");
    clock.advanceMs(HistorySaver::saveDelayMs);
    timers.processTimers();
    EXPECT_EQ(savesSeen, 2);
    EXPECT_EQ(count(testing_support::readFile(file), "<message "), 4u);
  }
  HistorySaver::saveFn = realSave;
}

testing_support::ManualClock* slowClock = nullptr;
void slowSave(chat::ChatHistory* history) {
  savesSeen++;
  slowClock->advanceMs(1000);
  history->save();
}

// A save that takes a second keeps the next one ten seconds away, so a
// flood of lines over a large history cannot keep the program saving.
TEST(HistorySaver, ASlowSaveSpacesTheNextOnesOut) {
  testing_support::TempDir dir;
  testing_support::ManualClock clock;
  plat::TimerManager timers;
  ChatOptions options;
  options.chatLogFile.setParam(dir.file("chat.xml").c_str(), 50);
  chat_test::RecordingRender view;
  chat::ChatHistory history(&view, &options);
  auto realSave = HistorySaver::saveFn;
  HistorySaver::saveFn = slowSave;
  slowClock = &clock;
  savesSeen = 0;
  {
    HistorySaver saver(&history);
    history.addMessage("ann", "ep", "one");
    clock.advanceMs(HistorySaver::saveDelayMs);
    timers.processTimers();
    EXPECT_EQ(savesSeen, 1);
    history.addMessage("ann", "ep", "two");
    clock.advanceMs(9999);
    timers.processTimers();
    EXPECT_EQ(savesSeen, 1);
    clock.advanceMs(1);
    timers.processTimers();
    EXPECT_EQ(savesSeen, 2);
  }
  HistorySaver::saveFn = realSave;
}

// A save that fails is told to the user once, not at every retry; the lines
// stay held and the next save that works writes them all.
TEST(HistorySaver, AFailedSaveIsToldOnceAndTheLinesAreKeptForTheNext) {
  testing_support::TempDir dir;
  testing_support::ManualClock clock;
  plat::TimerManager timers;
  ChatOptions options;
  std::string folder = dir.file("folder");
  testing_support::writeFile(folder, "not a folder yet");
  options.chatLogFile.setParam((folder + "/chat.xml").c_str(), 50);
  chat_test::RecordingRender view;
  chat::ChatHistory history(&view, &options);
  std::vector<std::string> told;
  testing_support::ScopedCapture log("HistorySaver", 0);
  HistorySaver saver(&history, [&](const char* text) { told.push_back(text); });
  for (const char* line : {"one", "two"}) {
    history.addMessage("ann", "ep", line);
    clock.advanceMs(HistorySaver::saveDelayMs);
    timers.processTimers();
  }
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].rfind("The chat history could not be saved. Error writing chat history " +
                              folder + "/chat.xml: ",
                          0),
            0u)
      << told[0];
  EXPECT_EQ(log.logger.textsAt(0).size(), 2u) << "each failure is logged";
  unlink(folder.c_str());
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  history.addMessage("ann", "ep", "three");
  clock.advanceMs(HistorySaver::saveDelayMs);
  timers.processTimers();
  EXPECT_EQ(count(testing_support::readFile(folder + "/chat.xml"), "<message "), 3u);
  EXPECT_EQ(told.size(), 1u);
}

// The program must end at once (its display is gone): the living saver's
// history is saved; with none, nothing happens.
TEST(HistorySaver, SaveActiveSavesTheLivingSaversHistory) {
  HistorySaver::saveActive();
  testing_support::TempDir dir;
  ChatOptions options;
  std::string file = dir.file("chat.xml");
  options.chatLogFile.setParam(file.c_str(), 50);
  chat_test::RecordingRender view;
  chat::ChatHistory history(&view, &options);
  {
    HistorySaver saver(&history);
    history.addMessage("ann", "ep", "before the end");
    HistorySaver::saveActive();
    EXPECT_NE(testing_support::readFile(file).find("before the end"), std::string::npos);
  }
  unlink(file.c_str());
  HistorySaver::saveActive();
  EXPECT_EQ(testing_support::readFile(file), "<missing>");
}

} // namespace
