// An input stream whose source is fed by the test: a read that finds nothing
// fed reports that the source has nothing now, as a non-blocking descriptor
// would. Lets tests deliver a message one byte at a time.
#pragma once

#include "rdr/BufferedInStream.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

namespace testing_support {

class FeedInStream : public rdr::BufferedInStream {
public:
  explicit FeedInStream(int bufSize = 0) : rdr::BufferedInStream(bufSize) {}

  void feed(const std::uint8_t* data, size_t n) { pending_.insert(pending_.end(), data, data + n); }
  void feed(const std::vector<std::uint8_t>& data) { feed(data.data(), data.size()); }
  size_t pending() const { return pending_.size(); }

protected:
  int readData(std::uint8_t* buffer, int length) override {
    int n = 0;
    while (n < length && !pending_.empty()) {
      buffer[n++] = pending_.front();
      pending_.pop_front();
    }
    return n;
  }

private:
  std::deque<std::uint8_t> pending_;
};

} // namespace testing_support
