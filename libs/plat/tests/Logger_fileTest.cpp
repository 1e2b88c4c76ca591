#include "plat/Logger_file.h"

#include "plat/Exception.h"
#include "plat/FileOps.h"
#include "plat/LogWriter.h"
#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"
#include "plat/StringUtils.h"

#include "FileContents.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using testing_support::fileMode;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

plat::LogWriter loggerTestLog("LoggerFileTest");
plat::LogWriter longNamedLog("AVeryLongWriterName");

time_t fakeNow = 1700000000; // Tue Nov 14 22:13:20 2023 UTC
time_t fakeClock() {
  return fakeNow;
}

// Every test starts and ends with all writers unrouted.
class LogSetting : public testing::Test {
protected:
  void SetUp() override {
    fakeNow = 1700000000;
    setenv("TZ", "UTC", 1);
    tzset();
    plat::initStdLoggers();
    plat::LogWriter::setLogParams("*::0");
  }
  void TearDown() override {
    plat::LogWriter::setLogParams("*::0");
    plat::logParam.unsetParam(50);
  }
};

TEST_F(LogSetting, StderrAtStatusLevelDropsDebug) {
  testing::internal::CaptureStderr();
  plat::logParam.setParam("*:stderr:30", 50);
  loggerTestLog.error("an error");
  loggerTestLog.status("a status");
  loggerTestLog.debug("a debug line");
  plat::logParam.setParam("", 50); // everything off again
  loggerTestLog.error("after");
  std::string out = testing::internal::GetCapturedStderr();
  EXPECT_NE(out.find(" LoggerFileT: an error\n"), std::string::npos) << out;
  EXPECT_NE(out.find(" LoggerFileT: a status\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("debug"), std::string::npos) << out;
  EXPECT_EQ(out.find("after"), std::string::npos) << out;
}

TEST_F(LogSetting, ElementsApplyInOrderUntilOneFails) {
  plat::LogWriter* config = plat::LogWriter::getLogWriter("ConfigParameter");
  plat::LogWriter* timer = &loggerTestLog;
  ASSERT_NE(config, nullptr);
  struct Case {
    const char* setting;
    std::string stderrText;
    const char* configLogger; // logger name of ConfigParameter, or ""
    int configLevel;
    const char* testLogger;
    int testLevel;
  } cases[] = {
      {"*:stderr:0,NoSuchWriter:stderr:100,ConfigParameter:stderr:100",
       "No logwriter found: 'NoSuchWriter'\n", "stderr", 0, "stderr", 0},
      {"LoggerFileTest:nowhere:100", "No logger found: 'nowhere'\n", "", 0, "", 100},
      {"LoggerFileTest:stderr", "failed to parse log param element:LoggerFileTest:stderr\n", "", 0,
       "", 0},
      {"loggerfiletest:STDOUT:abc", "", "", 0, "stdout", 0},
      {"*:stdout:10,configparameter::120", "", "", 120, "stdout", 10},
      {"ConfigParameter:stderr:30, LoggerFileTest:stderr:30",
       "No logwriter found: ' LoggerFileTest'\n", "stderr", 30, "", 0},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStderr();
    plat::logParam.setParam(c.setting, 50);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, c.stderrText) << c.setting;
    EXPECT_STREQ(config->getLogger() ? config->getLogger()->getName() : "", c.configLogger)
        << c.setting;
    EXPECT_EQ(config->getLevel(), c.configLevel) << c.setting;
    EXPECT_STREQ(timer->getLogger() ? timer->getLogger()->getName() : "", c.testLogger)
        << c.setting;
    EXPECT_EQ(timer->getLevel(), c.testLevel) << c.setting;
  }
}

TEST_F(LogSetting, SettingAtAnyPriorityReappliesTheValueInForce) {
  plat::logParam.setParam("LoggerFileTest:stderr:30", 0);
  // Set at 50, but the policy value at 0 stays in force.
  plat::logParam.setParam("LoggerFileTest:stderr:100", 50);
  EXPECT_EQ(loggerTestLog.getLevel(), 30);
  plat::logParam.unsetParam(0);
}

TEST_F(LogSetting, FileLayoutGolden) {
  TempDir dir;
  std::string path = dir / "logs/sub/test.log";
  plat::Logger_file logger("goldenfile");
  logger.setClock(fakeClock);
  logger.setFilename(path.c_str());
  plat::Logger_file::setHeader("Header line one that is long enough to be wrapped at the line "
                               "width of seventy-nine columns.");
  loggerTestLog.setLogger(&logger);
  loggerTestLog.setLevel(100);
  longNamedLog.setLogger(&logger);
  longNamedLog.setLevel(100);

  std::string message;
  for (int i = 0; i < 20; i++)
    message += "word" + std::to_string(i % 10) + "xxxx ";
  message.pop_back(); // 199 characters in 20 words
  loggerTestLog.status("first");
  longNamedLog.debug("%s", message.c_str());
  fakeNow++;
  loggerTestLog.error("two\nlines");
  loggerTestLog.setLogger(nullptr);
  longNamedLog.setLogger(nullptr);
  plat::Logger_file::setHeader(nullptr);

  const std::string golden =
      "Header line one that is long enough to be wrapped at the line width of\n"
      "seventy-nine columns.\n"
      "\n"
      "Tue Nov 14 22:13:20 2023\n"
      " LoggerFileT: first\n"
      " AVeryLongWr: word0xxxx word1xxxx word2xxxx word3xxxx word4xxxx word5xxxx\n"
      "              word6xxxx word7xxxx word8xxxx word9xxxx word0xxxx word1xxxx\n"
      "              word2xxxx word3xxxx word4xxxx word5xxxx word6xxxx word7xxxx\n"
      "              word8xxxx word9xxxx\n"
      "\n"
      "Tue Nov 14 22:13:21 2023\n"
      " LoggerFileT: two\n"
      "              lines\n";
  EXPECT_EQ(readFile(path), golden);
  EXPECT_EQ(fileMode(dir / "logs"), 0700);
  EXPECT_EQ(fileMode(dir / "logs/sub"), 0700);
}

TEST_F(LogSetting, OpeningMovesTheOldFileToBak) {
  TempDir dir;
  std::string path = dir / "app.log";
  writeFile(path, "previous run\n");
  writeFile(path + ".bak", "older run\n");
  plat::Logger_file logger("bakfile");
  logger.setClock(fakeClock);
  logger.setFilename(path.c_str());
  EXPECT_EQ(readFile(path), "previous run\n"); // opened only at the first write
  logger.write(0, "W", "new");
  EXPECT_EQ(readFile(path + ".bak"), "previous run\n");
  EXPECT_EQ(readFile(path), "\nTue Nov 14 22:13:20 2023\n W:           new\n");

  // A file that cannot be opened drops the message and is tried again.
  std::string blocked = dir / "blocked";
  writeFile(blocked, "");
  logger.setFilename((blocked + "/x.log").c_str());
  logger.write(0, "W", "dropped");
  plat::fileRemove(blocked.c_str());
  logger.write(0, "W", "kept");
  EXPECT_NE(readFile(blocked + "/x.log").find(" W:           kept\n"), std::string::npos);
}

TEST_F(LogSetting, ARunningProgramsLogIsNeverMovedOver) {
  // Three programs start in turn while the first still runs (each logger
  // opens the file as a program of its own would): none moves or empties a
  // file another one writes, so every line is kept. Once all have ended,
  // the next start moves their file to ".bak".
  TempDir dir;
  std::string path = dir / "app.log";
  writeFile(path, "previous run\n");
  {
    plat::Logger_file first("first"), second("second"), third("third");
    for (plat::Logger_file* l : {&first, &second, &third}) {
      l->setClock(fakeClock);
      l->setFilename(path.c_str());
    }
    first.write(0, "W", "one");
    second.write(0, "W", "two");
    third.write(0, "W", "three");
    first.write(0, "W", "one again");
    EXPECT_EQ(readFile(path + ".bak"), "previous run\n");
    std::string log = readFile(path);
    for (const char* line : {" W:           one\n", " W:           two\n", " W:           three\n",
                             " W:           one again\n"})
      EXPECT_NE(log.find(line), std::string::npos) << line << " in\n" << log;
  }
  std::string earlier = readFile(path);
  plat::Logger_file next("next");
  next.setClock(fakeClock);
  next.setFilename(path.c_str());
  next.write(0, "W", "next run");
  EXPECT_EQ(readFile(path + ".bak"), earlier);
  EXPECT_EQ(readFile(path), "\nTue Nov 14 22:13:20 2023\n W:           next run\n");
}

// A caller that quotes a text of another party escapes it itself: the file
// shows those escapes once, not escaped again.
TEST_F(LogSetting, EscapesWrittenByTheCallerAreShownAsWritten) {
  TempDir dir;
  std::string path = dir / "quoted.log";
  plat::Logger_file logger("quoted");
  logger.setClock(fakeClock);
  logger.setFilename(path.c_str());
  logger.write(0, "W", ("printer " + plat::strLoggable("p\nq") + " refused").c_str());
  EXPECT_EQ(readFile(path), "\nTue Nov 14 22:13:20 2023\n W:           printer p\\x0aq refused\n");
}

TEST_F(LogSetting, LineWidthHasAMinimum) {
  TempDir dir;
  std::string path = dir / "narrow.log";
  plat::Logger_file logger("narrow");
  logger.setClock(fakeClock);
  logger.setFilename(path.c_str());
  logger.setLineWidth(5); // becomes 24: messages wrap at 10
  logger.write(0, "W", "aaaa bbbb cccc");
  EXPECT_EQ(readFile(path), "\nTue Nov 14 22:13:20 2023\n W:           aaaa bbbb\n"
                            "              cccc\n");
}

// A message may carry a text of another party: its carriage returns,
// terminal escapes, hiding marks and bytes that are not UTF-8 are written as
// escapes, and a newline still only starts an indented line.
TEST_F(LogSetting, ControlCharactersInMessagesAreEscaped) {
  TempDir dir;
  std::string path = dir / "escaped.log";
  plat::Logger_file logger("escaped");
  logger.setClock(fakeClock);
  logger.setFilename(path.c_str());
  logger.write(0, "W",
               "a\rb\x1b[2Kc\x07 \xe2\x80\xae"
               "d \xff\xc2\x85 Zo\xc3\xab\nW: forged");
  logger.write(0, "W", std::string(5000, '\x01').c_str());
  std::string escapes;
  for (int i = 0; i < 1023; i++)
    escapes += "\\x01";
  EXPECT_EQ(readFile(path),
            "\nTue Nov 14 22:13:20 2023\n W:           a\\x0db\\x1b[2Kc\\x07 \\xe2\\x80\\xaed "
            "\\xff\\xc2\\x85 Zo\xc3\xab\n"
            "              W: forged\n"
            " W:           " +
                escapes + "...\n");
}

TEST_F(LogSetting, FileNameParameterIsExpandedOnce) {
  TempDir dir;
  // A '$' inside the ready-made default must be kept as it is.
  std::string dollarDir = dir / "home$user";
  std::string def = dollarDir + "/.zav/prog.log";
  plat::ParameterSet set("LogTest");
  plat::StringParameter fileName("TestLogFile", "d", def.c_str(), false, &set);
  plat::Logger_file logger("paramfile", &fileName);
  logger.setClock(fakeClock);
  EXPECT_STREQ(logger.getFilename(), def.c_str());
  logger.write(0, "W", "x");
  EXPECT_TRUE(plat::fileExists(def.c_str()));

  setenv("ZAV_LOG_TEST_DIR", dir.path().c_str(), 1);
  fileName.setParam("${ZAV_LOG_TEST_DIR}/set.log", 50);
  EXPECT_EQ(std::string(logger.getFilename()), dir / "set.log");
  unsetenv("ZAV_LOG_TEST_VAR");
  try {
    fileName.setParam("$ZAV_LOG_TEST_VAR/x.log", 0);
    FAIL() << "no exception";
  } catch (const plat::Exception& e) {
    EXPECT_STREQ(e.str(), "unknown environment variable: ZAV_LOG_TEST_VAR");
  }
  EXPECT_EQ(std::string(logger.getFilename()), dir / "set.log");
  fileName.unsetParam(0);
  fileName.unsetParam(50);
  unsetenv("ZAV_LOG_TEST_DIR");
}

TEST_F(LogSetting, FailedConstructionLeavesNoCallbackOnTheParameter) {
  // The parameter's value names a variable that is not set, so the logger
  // cannot be built; the parameter must not keep calling the dead object.
  plat::ParameterSet set("LogTest");
  plat::StringParameter fileName("TestLogFile", "d", "", false, &set);
  unsetenv("ZAV_LOG_TEST_UNSET");
  fileName.setParam("$ZAV_LOG_TEST_UNSET/x.log", 50);
  EXPECT_THROW(plat::Logger_file("doomed", &fileName), plat::Exception);
  EXPECT_EQ(fileName.getCallback(), nullptr);
  fileName.setParam("/tmp/elsewhere.log", 50);
  EXPECT_STREQ(fileName.getValue().c_str(), "/tmp/elsewhere.log");
}

TEST_F(LogSetting, StandardTargetsAndFileParameter) {
  EXPECT_NE(plat::Logger::getLogger("stderr"), nullptr);
  EXPECT_NE(plat::Logger::getLogger("STDOUT"), nullptr);
  TempDir dir;
  std::string path = dir / "default.log";
  plat::initFileLogger(path.c_str());
  plat::initFileLogger("/ignored/second/call");
  plat::ConfigParameter* p = plat::ParameterSet::global().find("logfile");
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p->getValueStr().c_str(), path.c_str());
  EXPECT_STREQ(p->getDescription(), "Filename for 'file' log output");
  EXPECT_FALSE(p->isHidden());
  plat::ConfigParameter* log = plat::ParameterSet::global().find("Log");
  ASSERT_EQ(log, &plat::logParam);
  EXPECT_TRUE(log->isHidden());
  plat::logParam.setParam("LoggerFileTest:file:30", 50);
  loggerTestLog.status("to the file");
  EXPECT_NE(readFile(path).find(" LoggerFileT: to the file\n"), std::string::npos);
}

} // namespace
