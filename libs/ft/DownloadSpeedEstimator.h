// Turns a download's growing byte count into a transfer rate over the last
// minute and an estimate of the time remaining, with the texts the downloads
// list shows. Owns its readings; the clock is a replaceable global hook so
// that tests can move time at will.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace ft {

class DownloadSpeedEstimator {
public:
  // Returns the time now in 100-ns ticks.
  using GetTimeFn = std::int64_t (*)();
  // Starts as a function reading plat::currentTime.
  static GetTimeFn getTimeFn;

  // Records (now, bytes); a reading at the same tick replaces the earlier one.
  void addReading(std::uint64_t bytes);
  // The rate between the oldest and newest reading of the last minute; 0 with
  // fewer than two readings.
  std::uint64_t bytesPerSecond();
  // Remaining seconds to reach total, rounded up; all bits set when the rate
  // is 0 (undetermined).
  std::uint64_t secondsRemaining(std::uint64_t total);
  // "1 second", "%i seconds", "%i minutes" or "%i hours"; none when the time
  // is undetermined.
  std::optional<std::string> remainingText(std::uint64_t total);
  std::string rateText();
  void clear() { readings.clear(); }

  // "%i TB/s", "%i GB/s", "%i MB/s", "%i KB/s" or "%i byte/s".
  static std::string formatRate(std::uint64_t rate);

private:
  void discardOld();

  std::map<std::int64_t, std::uint64_t> readings;
};

} // namespace ft
