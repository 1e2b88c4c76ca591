#include "ft/DownloadSpeedEstimator.h"

#include <gtest/gtest.h>

namespace {

std::int64_t fakeNow = 0;
std::int64_t fakeTime() {
  return fakeNow;
}

class DownloadSpeedEstimatorTest : public ::testing::Test {
protected:
  void SetUp() override {
    saved = ft::DownloadSpeedEstimator::getTimeFn;
    ft::DownloadSpeedEstimator::getTimeFn = fakeTime;
    fakeNow = 130000000000000000;
  }
  void TearDown() override { ft::DownloadSpeedEstimator::getTimeFn = saved; }
  static void advanceSeconds(std::int64_t s) { fakeNow += s * 10000000; }

  ft::DownloadSpeedEstimator::GetTimeFn saved = nullptr;
  ft::DownloadSpeedEstimator est;
};

TEST_F(DownloadSpeedEstimatorTest, OneReadingIsUndetermined) {
  est.addReading(1000);
  EXPECT_EQ(0u, est.bytesPerSecond());
  EXPECT_EQ("0 byte/s", est.rateText());
  EXPECT_FALSE(est.remainingText(5000).has_value());
  EXPECT_EQ(~std::uint64_t(0), est.secondsRemaining(5000));
}

TEST_F(DownloadSpeedEstimatorTest, ReadingsOlderThanAMinuteAreDropped) {
  est.addReading(0);
  advanceSeconds(1);
  est.addReading(1000);
  EXPECT_EQ(1000u, est.bytesPerSecond());
  advanceSeconds(61);
  EXPECT_EQ(0u, est.bytesPerSecond());
  EXPECT_FALSE(est.remainingText(5000).has_value());
}

TEST_F(DownloadSpeedEstimatorTest, OneMegabytePerSecond) {
  est.addReading(0);
  advanceSeconds(1);
  est.addReading(1048576);
  EXPECT_EQ(1048576u, est.bytesPerSecond());
  EXPECT_EQ("1 MB/s", est.rateText());
  EXPECT_EQ(1u, est.secondsRemaining(2097152));
  EXPECT_EQ("1 second", est.remainingText(2097152).value());
}

TEST_F(DownloadSpeedEstimatorTest, SameTickReplacesReading) {
  est.addReading(0);
  advanceSeconds(1);
  est.addReading(100);
  est.addReading(500);
  EXPECT_EQ(500u, est.bytesPerSecond());
}

TEST_F(DownloadSpeedEstimatorTest, RemainingTimeUnits) {
  // 1 byte/s: the remaining seconds equal the bytes left.
  est.addReading(0);
  advanceSeconds(10);
  est.addReading(10);
  struct Case {
    std::uint64_t left;
    const char* text;
  } cases[] = {{0, "0 seconds"},  {1, "1 second"},      {2, "2 seconds"},  {60, "60 seconds"},
               {61, "2 minutes"}, {3600, "60 minutes"}, {3601, "2 hours"}, {7200, "2 hours"}};
  for (const Case& c : cases)
    EXPECT_EQ(c.text, est.remainingText(10 + c.left).value()) << c.left;
  // More bytes than the total: nothing remains.
  EXPECT_EQ("0 seconds", est.remainingText(5).value());
}

TEST_F(DownloadSpeedEstimatorTest, RemainingRoundsUp) {
  est.addReading(0);
  advanceSeconds(1);
  est.addReading(1000);
  EXPECT_EQ(2u, est.secondsRemaining(2001));
}

TEST(DownloadSpeedEstimatorFormat, RateTable) {
  struct Case {
    std::uint64_t rate;
    const char* text;
  } cases[] = {{0, "0 byte/s"},
               {1023, "1023 byte/s"},
               {1024, "1 KB/s"},
               {(1u << 20) - 1, "1023 KB/s"},
               {1u << 20, "1 MB/s"},
               {(std::uint64_t(1) << 30) - 1, "1023 MB/s"},
               {std::uint64_t(1) << 30, "1 GB/s"},
               {(std::uint64_t(1) << 40) - 1, "1023 GB/s"},
               {std::uint64_t(1) << 40, "1 TB/s"},
               {std::uint64_t(5) << 40, "5 TB/s"}};
  for (const Case& c : cases)
    EXPECT_EQ(c.text, ft::DownloadSpeedEstimator::formatRate(c.rate)) << c.rate;
}

} // namespace
