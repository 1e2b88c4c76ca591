#include "plat/LogWriter.h"

#include "CaptureLogger.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::CaptureLogger;

namespace {

plat::LogWriter testLog("LogWriterTestSource");

TEST(LogWriter, WritesUpToItsLevel) {
  CaptureLogger logger;
  testLog.setLogger(&logger);
  testLog.setLevel(30);
  testLog.error("e%d", 1);
  testLog.notice("n");
  testLog.status("s");
  testLog.debug("d");
  testLog.write(31, "w");
  testLog.setLogger(nullptr);
  ASSERT_EQ(logger.lines.size(), 3u);
  EXPECT_EQ(logger.lines[0].text, "e1");
  EXPECT_EQ(logger.lines[0].level, 0);
  EXPECT_EQ(logger.lines[0].writer, "LogWriterTestSource");
  EXPECT_EQ(logger.lines[2].level, 30);
}

TEST(LogWriter, WithoutLoggerDropsEverything) {
  testLog.setLogger(nullptr);
  testLog.setLevel(1000);
  EXPECT_FALSE(testLog.enabled(0));
  testLog.error("nowhere"); // must not crash
}

TEST(LogWriter, LongMessagesAreCutAt4094Characters) {
  CaptureLogger logger;
  testLog.setLogger(&logger);
  testLog.setLevel(0);
  std::string big(5000, 'x');
  testLog.error("%s", big.c_str());
  testLog.setLogger(nullptr);
  ASSERT_EQ(logger.lines.size(), 1u);
  EXPECT_EQ(logger.lines[0].text.size(), 4094u);
}

TEST(LogWriter, LookupIgnoresCase) {
  EXPECT_EQ(plat::LogWriter::getLogWriter("logwritertestsource"), &testLog);
  EXPECT_EQ(plat::LogWriter::getLogWriter("no such writer"), nullptr);
  EXPECT_NE(plat::LogWriter::getLogWriter("assertion"), nullptr);
}

TEST(Logger, RegistersOnceAndIsFoundIgnoringCase) {
  static CaptureLogger logger;
  logger.registerLogger();
  logger.registerLogger();
  EXPECT_EQ(plat::Logger::getLogger("CAPTURE"), &logger);
  testing::internal::CaptureStderr();
  plat::Logger::listLoggers();
  std::string listed = testing::internal::GetCapturedStderr();
  EXPECT_EQ(listed.find("  capture\n"), listed.rfind("  capture\n"));
  EXPECT_NE(listed.find("  capture\n"), std::string::npos);
}

TEST(LogWriter, ListsWritersOnStderr) {
  testing::internal::CaptureStderr();
  plat::LogWriter::listLogWriters();
  std::string listed = testing::internal::GetCapturedStderr();
  EXPECT_EQ(listed.substr(0, 2), "  ");
  EXPECT_NE(listed.find("LogWriterTestSource"), std::string::npos);
  EXPECT_NE(listed.find(", "), std::string::npos);
  EXPECT_EQ(listed.back(), '\n');
}

} // namespace
