#include "chat/ChatHistory.h"

#include "RecordingRender.h"
#include "chat/ChatOptions.h"
#include "plat/Exception.h"

#include "FileContents.h"
#include "ManualClock.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testing_support::ManualClock;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

const char* const kDecl = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
const std::int64_t kStart = 1577836800; // 2020-01-01 00:00 UTC

class ChatHistoryTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    options.chatLogFile.setParam(dir.file("chat.xml").c_str(), 50);
  }
  std::string file() const { return dir.file("chat.xml"); }
  // A history file with one message element per (time, text) pair.
  void writeHistory(const std::vector<std::pair<std::int64_t, std::string>>& lines) {
    std::string doc = std::string(kDecl) + "<chat>\n";
    for (const auto& l : lines)
      doc += "\t<message text=\"" + l.second + "\" time=\"" + std::to_string(l.first) +
             "\" user=\"u\" endpoint=\"e\"/>\n";
    writeFile(file(), doc + "</chat>\n");
  }
  std::vector<std::string> texts() const {
    std::vector<std::string> t;
    for (const auto& r : history.records())
      t.push_back(r.text);
    return t;
  }

  TempDir dir;
  ManualClock clock{plat::unixTimeToTicks(kStart)};
  ChatOptions options;
  chat_test::RecordingRender view;
  chat::ChatHistory history{&view, &options};
};

TEST_F(ChatHistoryTest, AHeaderPrecedesTheFirstLineOfEachMinute) {
  history.addMessage("ann", "10.0.0.1::5900", "one");
  clock.advanceMs(30 * 1000);
  history.addMessage("ann", "10.0.0.1::5900", "two");
  clock.advanceMs(30 * 1000);
  history.addMessage("me (Local)", nullptr, "three");
  EXPECT_EQ(view.calls, (std::vector<std::string>{
                            "begin", "header Wed, 01 Jan 2020 00:00", "message ann: one", "end",
                            "begin", "message ann: two", "end", "begin",
                            "header Wed, 01 Jan 2020 00:01", "message me (Local): three", "end"}));
  ASSERT_EQ(history.records().size(), 3u);
  EXPECT_EQ(history.records()[2].time, kStart + 60);
  EXPECT_FALSE(history.records()[2].endpoint.has_value());
  EXPECT_EQ(*history.records()[0].endpoint, "10.0.0.1::5900");
}

TEST_F(ChatHistoryTest, LabelsOfSenders) {
  struct Case {
    const char* sender;
    bool local;
    const char* label;
  } cases[] = {
      {"DOMAIN\\ann", false, "ann"},      {"a\\b\\carl", false, "carl"},
      {"bob@host.example", false, "bob"}, {"plain", false, "plain"},
      {"", false, "Zav Viewer"},          {"me", true, "me (Local)"},
      {"me (Local)", true, "me (Local)"}, {"", true, "(Local)"},
      {"x@y", true, "x (Local)"},         {"odd)", true, "odd)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(chat::ChatRender::label(c.sender, c.local), c.label) << c.sender;
  EXPECT_EQ(chat::ChatRender::participantKey("ann", "1.2.3.4"), "ann-1.2.3.4");
  EXPECT_EQ(chat::ChatRender::participantKey("me", nullptr), "me-local");
  EXPECT_EQ(chat::ChatRender::participantKey("", ""), "-");
}

TEST_F(ChatHistoryTest, ParticipantsGetColoursInTableOrderAndGreyWhenGone) {
  const char* names[] = {"p0", "p1", "p2", "p3", "p4", "p5", "p6"};
  for (const char* n : names)
    history.userJoined(n, "e");
  std::vector<std::string> got;
  for (const std::string& c : view.calls)
    if (c.rfind("recolour", 0) == 0)
      got.push_back(c);
  EXPECT_EQ(got, (std::vector<std::string>{"recolour p0-e 160,0,0", "recolour p1-e 0,160,0",
                                           "recolour p2-e 0,0,160", "recolour p3-e 160,0,160",
                                           "recolour p4-e 0,160,160", "recolour p5-e 160,160,0",
                                           "recolour p6-e 160,0,0"}));
  history.addMessage("p1", "e", "hello");
  EXPECT_EQ(view.lines.back().colour, chat::ColourAllocator::participants[1]);
  history.userLeft("p1", "e");
  EXPECT_EQ(view.calls[view.calls.size() - 2], "recolour p1-e 200,200,200");
  EXPECT_EQ(view.lines.back().colour, chat::ColourAllocator::disconnected);
  history.userJoined("newcomer", "e");
  EXPECT_EQ(view.calls[view.calls.size() - 2], "recolour newcomer-e 0,160,0");
  // Lines of someone who never joined are grey; local lines black.
  history.addMessage("stranger", "e", "hi");
  EXPECT_EQ(view.lines.back().colour, chat::ColourAllocator::disconnected);
  history.addMessage("me", nullptr, "hi");
  EXPECT_EQ(view.lines.back().colour, chat::ColourAllocator::localuser);
  EXPECT_EQ(view.lines[0].colour, chat::ColourAllocator::timestamp);
}

TEST_F(ChatHistoryTest, SaveWritesAttributesInOrderAndLoadReadsThemBack) {
  history.addMessage("ann", "10.0.0.1", "hello <&> \"there\"");
  clock.advanceMs(1000);
  history.addMessage("me (Local)", nullptr, "hi");
  history.addMessage("bob", "", "");
  history.save();
  std::string expected = std::string(kDecl) +
                         "<chat>\n"
                         "\t<message text=\"hello &lt;&amp;&gt; &quot;there&quot;\" "
                         "time=\"1577836800\" user=\"ann\" endpoint=\"10.0.0.1\"/>\n"
                         "\t<message text=\"hi\" time=\"1577836801\" user=\"me (Local)\"/>\n"
                         "\t<message text=\"\" time=\"1577836801\" user=\"bob\" endpoint=\"\"/>\n"
                         "</chat>\n";
  EXPECT_EQ(readFile(file()), expected);

  chat_test::RecordingRender view2;
  chat::ChatHistory again(&view2, &options);
  again.load();
  ASSERT_EQ(again.records().size(), 3u);
  for (size_t i = 0; i < 3; i++) {
    EXPECT_EQ(again.records()[i].time, history.records()[i].time);
    EXPECT_EQ(again.records()[i].user, history.records()[i].user);
    EXPECT_EQ(again.records()[i].endpoint, history.records()[i].endpoint);
    EXPECT_EQ(again.records()[i].text, history.records()[i].text);
  }
  EXPECT_EQ(view2.calls,
            (std::vector<std::string>{"begin", "header Wed, 01 Jan 2020 00:00",
                                      "message ann: hello <&> \"there\"", "message me (Local): hi",
                                      "message bob: ", "end"}));
}

TEST_F(ChatHistoryTest, LoadAppendsToHeldRecordsAndSkipsIncompleteElements) {
  history.addMessage("first", "e", "held");
  writeFile(file(), "<chat><message text='a' time='1577836700' user='u'/>"
                    "<message text='no time' user='u'/><message time='1577836700' user='u'/>"
                    "<message text='no user' time='1577836700'/>"
                    "<message text='bad time' time='soon' user='u'/>"
                    "<other text='x' time='1577836700' user='u'/>"
                    "<message text='b' time='1577836710' user='v' endpoint='ep'/></chat>");
  history.load();
  EXPECT_EQ(texts(), (std::vector<std::string>{"held", "a", "b"}));
}

TEST_F(ChatHistoryTest, ExpiryByCountOnSaveAndLoad) {
  struct Case {
    int records;
    int keep;
    std::vector<std::string> kept;
  } cases[] = {
      {5, 3, {"m2", "m3", "m4"}},
      {2, 3, {"m0", "m1"}},
      {3, 0, {"m0", "m1", "m2"}},
      {3, -1, {}},
  };
  for (const Case& c : cases) {
    // Each case saves a new file: a history saved over an existing file
    // would add its lines to that file's.
    unlink(file().c_str());
    options.expiryMessages.setValue(0, 50);
    chat_test::RecordingRender v;
    chat::ChatHistory h(&v, &options);
    for (int i = 0; i < c.records; i++)
      h.addMessage("u", "e", ("m" + std::to_string(i)).c_str());
    options.expiryMessages.setValue(c.keep, 50);
    h.save();
    options.expiryMessages.setValue(0, 50);
    chat::ChatHistory saved(&v, &options);
    saved.load();
    std::vector<std::string> got;
    for (const auto& r : saved.records())
      got.push_back(r.text);
    EXPECT_EQ(got, c.kept) << "save, keep " << c.keep;
    EXPECT_EQ(h.records().size(), static_cast<size_t>(c.records)) << "memory is not pruned";

    // The same limit on reading a full file.
    options.expiryMessages.setValue(0, 50);
    h.save();
    options.expiryMessages.setValue(c.keep, 50);
    chat::ChatHistory loaded(&v, &options);
    loaded.load();
    got.clear();
    for (const auto& r : loaded.records())
      got.push_back(r.text);
    EXPECT_EQ(got, c.kept) << "load, keep " << c.keep;
  }
}

TEST_F(ChatHistoryTest, ExpiryByDaysOnLoadAndSave) {
  const std::int64_t day = 86400;
  writeHistory({{kStart - 91 * day, "old"},
                {kStart - 90 * day, "edge"},
                {kStart - 90 * day + 1, "inside"},
                {kStart, "new"},
                {0, "zero"},
                {-5, "negative"}});
  options.expiryDays.setValue(90, 50);
  history.load();
  EXPECT_EQ(texts(), (std::vector<std::string>{"inside", "new"}));

  options.expiryDays.setValue(0, 50);
  chat::ChatHistory all(&view, &options);
  all.load();
  EXPECT_EQ(all.records().size(), 4u) << "every time above 0 loads";

  // Saving applies the same cutoff to what is held.
  options.expiryDays.setValue(90, 50);
  all.save();
  options.expiryDays.setValue(0, 50);
  chat::ChatHistory reread(&view, &options);
  reread.load();
  ASSERT_EQ(reread.records().size(), 2u);
  EXPECT_EQ(reread.records()[0].text, "inside");

  // A negative number of days puts the cutoff in the future.
  options.expiryDays.setValue(-1, 50);
  chat::ChatHistory none(&view, &options);
  none.load();
  EXPECT_TRUE(none.records().empty());
}

TEST_F(ChatHistoryTest, DaysBeyondThirtyTwoBitSecondsStillCutInThePast) {
  const std::int64_t in2100 = 4102444800;
  clock.set(plat::unixTimeToTicks(in2100));
  writeHistory({{in2100 - 10, "recent"}, {1400000000, "2014"}});
  // 30000 x 86400 needs more than 32 bits: the cutoff lies in 2017.
  options.expiryDays.setValue(30000, 50);
  history.load();
  EXPECT_EQ(texts(), (std::vector<std::string>{"recent"}));
}

TEST_F(ChatHistoryTest, TimesAfter2038AreKeptAndOld32BitFilesLoad) {
  const std::int64_t in2040 = 2208988800; // 2040-01-01, beyond 32 bits
  clock.set(plat::unixTimeToTicks(in2040));
  history.addMessage("ann", "e", "future");
  history.save();
  EXPECT_NE(readFile(file()).find("time=\"2208988800\""), std::string::npos);
  chat::ChatHistory again(&view, &options);
  again.load();
  ASSERT_EQ(again.records().size(), 1u);
  EXPECT_EQ(again.records()[0].time, in2040);
  EXPECT_EQ(chat::ChatHistory::headerText(in2040), "Sun, 01 Jan 2040 00:00");

  // A file written with 32-bit times.
  options.expiryDays.setValue(0, 50);
  writeHistory({{2147483647, "last 32-bit second"}, {1577836800, "2020"}});
  chat::ChatHistory old(&view, &options);
  old.load();
  ASSERT_EQ(old.records().size(), 2u);
  EXPECT_EQ(old.records()[0].time, 2147483647);
}

TEST_F(ChatHistoryTest, KeepHistoryOffShowsButDoesNotRecord) {
  writeHistory({{kStart - 5, "loaded"}});
  history.load();
  options.keepHistory.setParam("0", 50);
  view.clear();
  history.addMessage("ann", "e", "not kept");
  EXPECT_EQ(view.lines.back().text, "not kept");
  history.save();
  chat::ChatHistory again(&view, &options);
  again.load();
  ASSERT_EQ(again.records().size(), 1u);
  EXPECT_EQ(again.records()[0].text, "loaded") << "loaded records are still saved";
}

TEST_F(ChatHistoryTest, EmptyPathDisablesLoadAndSave) {
  options.chatLogFile.setParam("", 50);
  history.addMessage("ann", "e", "x");
  history.save();
  history.load();
  EXPECT_EQ(readFile(file()), "<missing>");
  EXPECT_EQ(history.records().size(), 1u);
}

TEST_F(ChatHistoryTest, PathIsExpandedAndUnknownVariablesThrow) {
  setenv("ZAV_CHAT_TEST_DIR", dir.path().c_str(), 1);
  options.chatLogFile.setParam("$ZAV_CHAT_TEST_DIR/expanded.xml", 50);
  history.addMessage("ann", "e", "x");
  history.save();
  EXPECT_NE(readFile(dir.file("expanded.xml")), "<missing>");
  options.chatLogFile.setParam("$ZAV_NO_SUCH_VARIABLE_HERE/x.xml", 50);
  try {
    history.save();
    FAIL();
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), "unknown environment variable: ZAV_NO_SUCH_VARIABLE_HERE");
  }
}

TEST_F(ChatHistoryTest, LoadFailuresNameTheFileAndPosition) {
  try {
    history.load();
    FAIL();
  } catch (plat::Exception& e) {
    EXPECT_EQ(std::string(e.str()), file() + ":0:0: file not found");
  }
  struct Case {
    const char* content;
  } cases[] = {{"<chat><message text='a' time='1' user='u'></chat>"},
               {"<other/>"},
               {"<chat><message text='a' time='1' user='u'/>"},
               {""}};
  for (const Case& c : cases) {
    writeFile(file(), c.content);
    view.clear();
    try {
      history.load();
      ADD_FAILURE() << c.content;
    } catch (plat::Exception& e) {
      EXPECT_EQ(std::string(e.str()).rfind(file() + ":", 0), 0u) << e.str();
    }
    EXPECT_TRUE(history.records().empty()) << c.content;
    for (const std::string& call : view.calls)
      EXPECT_NE(call.rfind("message", 0), 0u) << c.content;
  }
}

TEST_F(ChatHistoryTest, AnUnreadableFileIsKeptAsideAndANewOneStarted) {
  const std::string cases[] = {
      "<chat><message text='a' time='1' user='u'></chat>",
      "<other/>",
      std::string(kDecl) + "<chat>\n\t<message text=\"cut here",
      std::string("\0\xff\x01binary", 9),
      "",
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
    const std::string& content = cases[i];
    SCOPED_TRACE(i);
    writeFile(file(), content);
    chat_test::RecordingRender v;
    chat::ChatHistory h(&v, &options);
    EXPECT_THROW(h.load(), plat::Exception);
    std::string aside = file() + ".unreadable" + (i > 0 ? "." + std::to_string(i) : "");
    EXPECT_EQ(readFile(aside), content) << "kept whole, under a name of its own";
    EXPECT_EQ(readFile(file()), "<missing>");
    ASSERT_FALSE(v.lines.empty());
    EXPECT_EQ(v.calls.front(), "begin");
    EXPECT_EQ(v.lines.front().text, h.notice());
    EXPECT_EQ(h.notice().rfind("The chat history file could not be read (" + file() + ":", 0), 0u)
        << h.notice();
    EXPECT_NE(h.notice().find("it is kept as " + aside + " and a new one is started."),
              std::string::npos)
        << h.notice();

    // A new history starts; the notice stays at the top of the transcript.
    h.addMessage("ann", "e", "after");
    h.save();
    chat::ChatHistory again(&v, &options);
    again.load();
    ASSERT_EQ(again.records().size(), 1u);
    EXPECT_EQ(again.records()[0].text, "after");
    EXPECT_EQ(readFile(aside), content);
    v.clear();
    h.redisplay();
    ASSERT_EQ(v.lines.size(), 3u);
    EXPECT_EQ(v.lines[0].text, h.notice());
    EXPECT_EQ(v.lines[1].text, "Wed, 01 Jan 2020 00:00");
    EXPECT_EQ(v.lines[2].text, "after");
    writeFile(file(), "");
  }

  // Nothing to set aside: a missing file, or a directory in its place.
  unlink(file().c_str());
  view.clear();
  EXPECT_THROW(history.load(), plat::Exception);
  EXPECT_TRUE(history.notice().empty());
  EXPECT_TRUE(view.calls.empty());
  ASSERT_EQ(mkdir(dir.file("chat.dir.xml").c_str(), 0700), 0);
  options.chatLogFile.setParam(dir.file("chat.dir.xml").c_str(), 50);
  EXPECT_THROW(history.load(), plat::Exception);
  EXPECT_TRUE(history.notice().empty());
}

TEST_F(ChatHistoryTest, AnUnreadableFileThatCannotBeMovedAsideIsLeftAlone) {
  for (int n = 0; n < 100; n++)
    writeFile(file() + ".unreadable" + (n > 0 ? "." + std::to_string(n) : ""), "taken");
  writeFile(file(), "<chat>broken");
  EXPECT_THROW(history.load(), plat::Exception);
  EXPECT_NE(history.notice().find("nor moved aside"), std::string::npos) << history.notice();
  history.addMessage("ann", "e", "new");
  try {
    history.save();
    FAIL();
  } catch (plat::Exception& e) {
    EXPECT_EQ(std::string(e.str()),
              "Chat history not saved: " + file() + " could not be read and is left as it is");
  }
  EXPECT_EQ(readFile(file()), "<chat>broken");
  // Another file is saved as usual.
  options.chatLogFile.setParam(dir.file("other.xml").c_str(), 50);
  history.save();
  EXPECT_NE(readFile(dir.file("other.xml")).find("text=\"new\""), std::string::npos);
}

// Lines beyond either bound push the oldest out, whether they come one by
// one or from a file, and what is saved is what is held.
TEST_F(ChatHistoryTest, AFloodKeepsOnlyTheNewestLinesWithinTheBounds) {
  const size_t longLine = 1000; // with user "u" and endpoint "e": 1002 bytes
  struct Case {
    size_t lines;
    size_t length;
    size_t kept;
  } cases[] = {
      {chat::ChatHistory::maxRecords + 3, 0, chat::ChatHistory::maxRecords},
      {chat::ChatHistory::maxTextBytes / (longLine + 2) + 5, longLine,
       chat::ChatHistory::maxTextBytes / (longLine + 2)},
  };
  auto text = [](size_t i, size_t length) {
    std::string t = "m" + std::to_string(i);
    t.resize(std::max(length, t.size()), '.');
    return t;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    unlink(file().c_str());
    chat_test::RecordingRender v;
    v.keep = false;
    chat::ChatHistory flooded(&v, &options);
    flooded.addMessage("u", "e", "oldest");
    for (size_t i = 0; i < c.lines; i++)
      flooded.addMessage("u", "e", text(i, c.length).c_str());
    ASSERT_EQ(flooded.records().size(), c.kept);
    EXPECT_EQ(flooded.records().front().text, text(c.lines - c.kept, c.length));
    EXPECT_EQ(flooded.records().back().text, text(c.lines - 1, c.length));

    flooded.save();
    chat::ChatHistory reread(&v, &options);
    reread.load();
    EXPECT_EQ(reread.records().size(), c.kept);

    // A file holding more than the bounds (as an older program wrote it).
    std::vector<std::pair<std::int64_t, std::string>> lines;
    for (size_t i = 0; i < c.lines; i++)
      lines.push_back({kStart, text(i, c.length)});
    writeHistory(lines);
    chat::ChatHistory loaded(&v, &options);
    loaded.load();
    ASSERT_EQ(loaded.records().size(), c.kept);
    EXPECT_EQ(loaded.records().front().text, text(c.lines - c.kept, c.length));
    EXPECT_EQ(loaded.records().back().text, text(c.lines - 1, c.length));
  }
}

TEST_F(ChatHistoryTest, FailedSaveIsReportedAndKeepsTheOldFile) {
  history.addMessage("ann", "e", "old line");
  history.save();
  const std::string old = readFile(file());
  std::string big(20000, 'x');
  for (int i = 0; i < 5; i++)
    history.addMessage("ann", "e", big.c_str());

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      history.save();
    } catch (plat::Exception& e) {
      _exit(std::string(e.str()).find("Error writing chat history " + file()) == 0 ? 0 : 4);
    }
    _exit(3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(readFile(file()), old);
  EXPECT_TRUE(testing_support::tempFilesBeside(file()).empty());

  // A directory that does not exist cannot be written either.
  options.chatLogFile.setParam(dir.file("missing/chat.xml").c_str(), 50);
  EXPECT_THROW(history.save(), plat::Exception);
}

TEST_F(ChatHistoryTest, AHundredThousandMessagesLoad) {
  std::string doc = "<?xml version=\"1.0\"?>\n<chat>\n";
  for (int i = 0; i < 100000; i++)
    doc += "\t<message text=\"line " + std::to_string(i) + "\" time=\"" +
           std::to_string(kStart - 100000 + i) + "\" user=\"DOM\\user" + std::to_string(i % 7) +
           "\" endpoint=\"10.0.0." + std::to_string(i % 7) + "\"/>\n";
  writeFile(file(), doc + "</chat>\n");
  history.load();
  ASSERT_EQ(history.records().size(), 100000u);
  EXPECT_EQ(history.records().back().text, "line 99999");
  EXPECT_EQ(view.lines.back().label, "user4");
  // 100000 seconds span 1667 minutes, each under its own header.
  EXPECT_EQ(view.lines.size(), 100000u + 1667u);
}

} // namespace

namespace {

std::vector<std::string> textsOf(const chat::ChatHistory& h) {
  std::vector<std::string> t;
  for (const auto& r : h.records())
    t.push_back(r.text);
  return t;
}

// The bytes this process has read so far (every read call counted).
long long bytesRead() {
  std::string io = readFile("/proc/self/io");
  size_t at = io.find("rchar: ");
  return at == std::string::npos ? -1 : atoll(io.c_str() + at + 7);
}

} // namespace

// Two programs keep the same history (a second login, a restart while the
// first ends): each save adds its own new lines to what the other saved, in
// time order, and neither drops the other's, also when it saves with no new
// line of its own.
TEST_F(ChatHistoryTest, TwoHistoriesOfOneFileKeepEachOthersLines) {
  chat_test::RecordingRender otherView;
  chat::ChatHistory other(&otherView, &options);
  EXPECT_THROW(history.load(), plat::Exception); // no file yet
  EXPECT_THROW(other.load(), plat::Exception);
  history.addMessage("ann", "e1", "first, here");
  clock.advanceMs(1000);
  other.addMessage("bob", "e2", "second, there");
  clock.advanceMs(1000);
  history.addMessage("ann", "e1", "third, here");
  EXPECT_TRUE(history.hasUnsaved());
  history.save();
  EXPECT_FALSE(history.hasUnsaved());
  other.save();
  clock.advanceMs(1000);
  history.addMessage("ann", "e1", "fourth, here");
  history.save();
  history.save(); // nothing new: the file stays whole
  const std::vector<std::string> all = {"first, here", "second, there", "third, here",
                                        "fourth, here"};
  chat_test::RecordingRender readerView;
  chat::ChatHistory reader(&readerView, &options);
  reader.load();
  EXPECT_EQ(textsOf(reader), all);
  EXPECT_EQ(textsOf(history), all) << "the records held are the file's";
  other.save();
  chat::ChatHistory again(&readerView, &options);
  again.load();
  EXPECT_EQ(textsOf(again), all);
}

// A link whose target does not exist yet is a history not written yet: it is
// neither moved aside nor replaced, and the history is written through it.
TEST_F(ChatHistoryTest, ADanglingLinkIsWrittenThrough) {
  ASSERT_EQ(mkdir(dir.file("real").c_str(), 0700), 0);
  ASSERT_EQ(symlink("real/chat.xml", file().c_str()), 0);
  EXPECT_THROW(history.load(), plat::Exception);
  EXPECT_EQ(history.notice(), "");
  EXPECT_EQ(readFile(file() + ".unreadable"), "<missing>");
  history.addMessage("ann", "e", "through the link");
  history.save();
  char text[64] = "";
  EXPECT_EQ(readlink(file().c_str(), text, sizeof text - 1), 13) << "still the link";
  EXPECT_NE(readFile(dir.file("real/chat.xml")).find("through the link"), std::string::npos);
}

// A file far larger than a history can be (as a fault or another program
// could leave) is set aside as an unreadable one is, without being read.
TEST_F(ChatHistoryTest, AFileFarLargerThanAnyHistoryIsSetAsideUnread) {
  writeFile(file(), std::string(kDecl) + "<chat>\n\t<message text='a' time='1' user='u'/>\n");
  ASSERT_EQ(truncate(file().c_str(), off_t(chat::ChatHistory::maxFileBytes) + 1), 0);
  long long before = bytesRead();
  ASSERT_GE(before, 0);
  try {
    history.load();
    FAIL() << "loaded";
  } catch (plat::Exception& e) {
    EXPECT_NE(std::string(e.str()).find("larger than a chat history can be"), std::string::npos)
        << e.str();
  }
  EXPECT_LT(bytesRead() - before, 1 << 20) << "read whole";
  struct stat st;
  ASSERT_EQ(stat((file() + ".unreadable").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, off_t(chat::ChatHistory::maxFileBytes) + 1);
  EXPECT_TRUE(history.records().empty());
  history.addMessage("ann", "e", "a new file");
  history.save();
  EXPECT_NE(readFile(file()).find("a new file"), std::string::npos);
}

// A history the user may write in a folder they may not (set up so by an
// administrator) is rewritten where it lies; only the user's own lines
// change. Root passes every permission check, so it saves as nobody.
TEST_F(ChatHistoryTest, AHistoryInAFolderTheUserCannotWriteIsRewrittenInPlace) {
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to give the folder away";
  const uid_t nobody = 65534;
  std::string folder = dir.file("locked");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  std::string path = folder + "/chat.xml";
  options.chatLogFile.setParam(path.c_str(), 50);
  chat_test::RecordingRender v;
  {
    chat::ChatHistory first(&v, &options);
    first.addMessage("ann", "e", "an older line");
    first.save();
  }
  ASSERT_EQ(chown(path.c_str(), nobody, nobody), 0);
  chmod(dir.path().c_str(), 0755);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(nobody) != 0 || setuid(nobody) != 0)
      _exit(2);
    try {
      chat::ChatHistory h(&v, &options);
      h.load();
      h.addMessage("ann", "e", "a new line");
      h.save();
    } catch (plat::Exception& e) {
      fprintf(stderr, "%s\n", e.str());
      _exit(3);
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  chmod(dir.path().c_str(), 0700);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  chat::ChatHistory reader(&v, &options);
  reader.load();
  EXPECT_EQ(textsOf(reader), (std::vector<std::string>{"an older line", "a new line"}));
  EXPECT_TRUE(testing_support::tempFilesBeside(path).empty());
}

// A pipe named as the history (as /dev/null might be, to keep no history) is
// neither waited on nor moved aside nor replaced by a file: loading it says
// it is no file, and saving writes into it.
TEST_F(ChatHistoryTest, APipeAsTheHistoryIsWrittenAsItIs) {
  ASSERT_EQ(mkfifo(file().c_str(), 0600), 0);
  int reader = open(file().c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  try {
    history.load();
    FAIL() << "loaded";
  } catch (plat::Exception& e) {
    EXPECT_EQ(std::string(e.str()), file() + ":0:0: not a regular file");
  }
  EXPECT_EQ(history.notice(), "");
  history.addMessage("ann", "e", "into the pipe");
  history.save();
  struct stat st;
  ASSERT_EQ(lstat(file().c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  char buf[4096];
  ssize_t n = read(reader, buf, sizeof buf);
  close(reader);
  ASSERT_GT(n, 0);
  EXPECT_NE(std::string(buf, size_t(n)).find("into the pipe"), std::string::npos);
}
