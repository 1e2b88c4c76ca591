#include "plat/Exception.h"

#include "plat/Assert.h"
#include "plat/Hex.h"

#include "CaptureLogger.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

TEST(Exception, MessageIsCutAt255Characters) {
  std::string text(300, 'm');
  plat::Exception e(text.c_str());
  EXPECT_EQ(std::string(e.str()), text.substr(0, 255));
  plat::ExceptionFmt f("%s", text.c_str());
  EXPECT_EQ(std::string(f.str()).size(), 255u);
}

TEST(Exception, FormattedMessage) {
  plat::ExceptionFmt e("port %d of %s", 5900, "host");
  EXPECT_STREQ(e.str(), "port 5900 of host");
}

TEST(SystemException, ReadsTextErrorTextAndNumber) {
  plat::SystemException e("fileLock", EAGAIN);
  EXPECT_STREQ(e.str(), "fileLock: Resource temporarily unavailable (11)");
  EXPECT_EQ(e.getErrno(), EAGAIN);
}

TEST(SystemException, EmptyTextHasNoLeadingColon) {
  plat::SystemException e("", ENOENT);
  EXPECT_STREQ(e.str(), "No such file or directory (2)");
}

TEST(SystemException, FormattedLeadingText) {
  plat::SystemExceptionFmt e("fileOpen(%s)", EACCES, "/etc/x");
  EXPECT_STREQ(e.str(), "fileOpen(/etc/x): Permission denied (13)");
  // Caught as its base kinds.
  try {
    throw e;
  } catch (plat::Exception& caught) {
    EXPECT_STREQ(caught.str(), e.str());
  }
}

TEST(AssertionFail, MessageAndDetail) {
  plat::AssertionFail a("v", "ConfigParameter.cpp", 234);
  EXPECT_STREQ(a.str(), "Assertion 'v' failed at ConfigParameter.cpp:234");
  a.detail("setParam(<null>) for %s not allowed", "Desktop");
  EXPECT_STREQ(a.str(), "Assertion 'v' failed at ConfigParameter.cpp:234: "
                        "setParam(<null>) for Desktop not allowed");
}

TEST(AssertionFail, ThrownCheckCarriesBareFileName) {
  try {
    plat::intToHexDigit(16);
    FAIL() << "no exception";
  } catch (plat::AssertionFail& a) {
    EXPECT_STREQ(a.expression(), "i >= 0 && i <= 15");
    EXPECT_STREQ(a.file(), "Hex.cpp");
  }
  EXPECT_THROW(plat::intToHexDigit(-1), plat::AssertionFail);
}

TEST(TimedOut, Message) {
  EXPECT_STREQ(plat::TimedOut().str(), "Timed out");
}

void failFatally() {
  PLAT_ASSERT(1 + 1 == 3);
}

TEST(FatalAssertionDeathTest, PrintsExactMessageAndAborts) {
  EXPECT_EXIT(failFatally(), testing::KilledBySignal(SIGABRT),
              "^Assertion '1 \\+ 1 == 3' failed at ExceptionTest.cpp:[0-9]+\n$");
}

TEST(FatalAssertionDeathTest, AlsoLogsThroughTheAssertionWriter) {
  // The child writes the log line to stdout through a logger of its own.
  struct StdoutLogger : plat::Logger {
    StdoutLogger() : plat::Logger("stdout-test") {}
    void write(int, const char* writer, const char* text) override {
      fprintf(stdout, "[%s] %s\n", writer, text);
      fflush(stdout);
    }
  };
  EXPECT_EXIT(
      {
        static StdoutLogger logger;
        plat::LogWriter* w = plat::LogWriter::getLogWriter("Assertion");
        w->setLogger(&logger);
        w->setLevel(0);
        // Send stdout to stderr so the death test sees both.
        dup2(2, 1);
        failFatally();
      },
      testing::KilledBySignal(SIGABRT), "\\[Assertion\\] Assertion '1 \\+ 1 == 3' failed");
}

TEST(Warning, LogsAtLevelZero) {
  testing_support::ScopedCapture capture("Assertion", 0);
  ASSERT_TRUE(capture.found());
  plat::warning("disk nearly full");
  ASSERT_EQ(capture.logger.lines.size(), 1u);
  EXPECT_EQ(capture.logger.lines[0].text, "Warning: disk nearly full");
  EXPECT_EQ(capture.logger.lines[0].level, 0);
}

} // namespace
