#include "ft/DownloadSpeedEstimator.h"

#include "plat/Assert.h"
#include "plat/Time.h"

#include <cinttypes>
#include <cstdio>

namespace ft {

static std::int64_t systemTime() {
  return static_cast<std::int64_t>(plat::currentTime());
}

DownloadSpeedEstimator::GetTimeFn DownloadSpeedEstimator::getTimeFn = systemTime;

// Readings older than a minute no longer count.
static const std::int64_t window = 600000000;

void DownloadSpeedEstimator::discardOld() {
  std::int64_t now = getTimeFn();
  readings.erase(readings.begin(), readings.lower_bound(now - window));
}

void DownloadSpeedEstimator::addReading(std::uint64_t bytes) {
  discardOld();
  readings[getTimeFn()] = bytes;
}

std::uint64_t DownloadSpeedEstimator::bytesPerSecond() {
  discardOld();
  if (readings.size() < 2)
    return 0;
  auto first = readings.begin();
  auto last = std::prev(readings.end());
  std::int64_t t1 = first->first;
  std::int64_t t2 = last->first;
  PLAT_ASSERT(t1 != t2);
  return (last->second - first->second) * 10000000 / static_cast<std::uint64_t>(t2 - t1);
}

std::uint64_t DownloadSpeedEstimator::secondsRemaining(std::uint64_t total) {
  std::uint64_t rate = bytesPerSecond();
  if (rate == 0)
    return ~std::uint64_t(0);
  std::uint64_t newest = std::prev(readings.end())->second;
  // More bytes than announced: nothing remains (rather than a wrapped count).
  if (newest >= total)
    return 0;
  return (total - newest + rate - 1) / rate;
}

std::optional<std::string> DownloadSpeedEstimator::remainingText(std::uint64_t total) {
  std::uint64_t s = secondsRemaining(total);
  if (s == ~std::uint64_t(0))
    return std::nullopt;
  if (s == 1)
    return std::string("1 second");
  std::uint64_t value = s;
  const char* unit = "seconds";
  if (s > 3600) {
    value = (s + 3599) / 3600;
    unit = "hours";
  } else if (s > 60) {
    value = (s + 59) / 60;
    unit = "minutes";
  }
  char text[64];
  snprintf(text, sizeof(text), "%" PRIu64 " %s", value, unit);
  return std::string(text);
}

std::string DownloadSpeedEstimator::rateText() {
  return formatRate(bytesPerSecond());
}

std::string DownloadSpeedEstimator::formatRate(std::uint64_t r) {
  char text[64];
  if (r > (std::uint64_t(1) << 40) - 1)
    snprintf(text, sizeof(text), "%" PRIu64 " TB/s", r >> 40);
  else if (r > (std::uint64_t(1) << 30) - 1)
    snprintf(text, sizeof(text), "%" PRIu64 " GB/s", r >> 30);
  else if (r > (std::uint64_t(1) << 20) - 1)
    snprintf(text, sizeof(text), "%" PRIu64 " MB/s", r >> 20);
  else if (r > 1023)
    snprintf(text, sizeof(text), "%" PRIu64 " KB/s", r >> 10);
  else
    snprintf(text, sizeof(text), "%" PRIu64 " byte/s", r);
  return text;
}

} // namespace ft
