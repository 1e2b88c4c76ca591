// Test doubles for the byte streams: a non-blocking source that delivers only
// the bytes the test has fed so far (in chunks of at most a given size), and a
// sink that takes only as much as the test allows.
#pragma once

#include "plat/Exception.h"
#include "rdr/BufferedInStream.h"
#include "rdr/BufferedOutStream.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace testing_support {

class ScriptedInStream : public rdr::BufferedInStream {
public:
  explicit ScriptedInStream(int bufSize = 0, int chunk = 1 << 30)
      : rdr::BufferedInStream(bufSize), chunk_(chunk) {}

  void feed(const std::string& bytes) { data_ += bytes; }
  void feed(const void* bytes, size_t n) { data_.append(static_cast<const char*>(bytes), n); }
  size_t delivered() const { return next_; }
  int readCalls = 0;

protected:
  int readData(std::uint8_t* buffer, int length) override {
    ++readCalls;
    size_t n = std::min<size_t>(
        {static_cast<size_t>(length), data_.size() - next_, static_cast<size_t>(chunk_)});
    std::memcpy(buffer, data_.data() + next_, n);
    next_ += n;
    return static_cast<int>(n);
  }

private:
  std::string data_;
  size_t next_ = 0;
  int chunk_;
};

// Takes at most `allowance` bytes in total; a write that would have to wait
// beyond that throws plat::TimedOut, as a descriptor stream with a time-out
// would.
class ScriptedOutStream : public rdr::BufferedOutStream {
public:
  explicit ScriptedOutStream(int bufSize = 0, size_t allowance = SIZE_MAX)
      : rdr::BufferedOutStream(bufSize), allowance_(allowance) {}
  ~ScriptedOutStream() override = default;

  std::string taken;
  std::vector<int> bufSizes;
  size_t allowance_;
  int waitingWrites = 0;

protected:
  int writeData(const std::uint8_t* data, int length, bool wait) override {
    if (bufSizes.empty() || bufSizes.back() != bufSize)
      bufSizes.push_back(bufSize);
    size_t n = std::min<size_t>(length, allowance_ - taken.size());
    if (n == 0) {
      if (!wait)
        return 0;
      ++waitingWrites;
      throw plat::TimedOut();
    }
    taken.append(reinterpret_cast<const char*>(data), n);
    return static_cast<int>(n);
  }
};

} // namespace testing_support
