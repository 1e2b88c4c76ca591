#include "plat/QuietLogWriter.h"

#include "CaptureLogger.h"

#include <gtest/gtest.h>

using testing_support::CaptureLogger;

namespace {

plat::LogWriter quietTestLog("QuietLogWriterTestSource");

TEST(QuietLogWriter, HoldsBackEveryMessageForItsScopeOnly) {
  CaptureLogger logger;
  quietTestLog.setLogger(&logger);
  struct Case {
    const char* what;
    int levelSetInScope; // -1: none
    int levelAfter;
  } cases[] = {
      {"the level before comes back", -1, 30},
      {"a level set in the scope stands", 100, 100},
      {"a level of 0 set in the scope stands", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    quietTestLog.setLevel(30);
    logger.lines.clear();
    {
      plat::QuietLogWriter quiet("quietlogwritertestsource"); // names ignore case
      quietTestLog.error("held back");
      if (c.levelSetInScope >= 0)
        quietTestLog.setLevel(c.levelSetInScope);
    }
    EXPECT_EQ(quietTestLog.getLevel(), c.levelAfter);
    quietTestLog.error("written");
    ASSERT_EQ(logger.lines.size(), 1u);
    EXPECT_EQ(logger.lines[0].text, "written");
  }
  quietTestLog.setLogger(nullptr);
}

TEST(QuietLogWriter, UnknownNameChangesNothing) {
  quietTestLog.setLevel(30);
  { plat::QuietLogWriter quiet("NoSuchLogWriterAnywhere"); }
  EXPECT_EQ(quietTestLog.getLevel(), 30);
}

} // namespace
