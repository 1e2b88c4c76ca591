// A non-blocking socket's view of a fuzzer's input: the bytes the target has
// released so far, at most `chunk` per read, and none (not end of stream)
// once they are used up, so that readers hit their checkpoints wherever the
// target stops releasing.
#pragma once

#include "rdr/BufferedInStream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

class ReleasedSource : public rdr::BufferedInStream {
public:
  ReleasedSource(const std::uint8_t* data, size_t size, int chunk, int bufSize = 0)
      : rdr::BufferedInStream(bufSize), data_(data), size_(size), chunk_(chunk) {}
  void release(size_t n) { released_ = std::min(size_, released_ + n); }
  bool exhausted() const { return released_ == size_; }

protected:
  int readData(std::uint8_t* buffer, int length) override {
    size_t n = std::min<size_t>({size_t(length), released_ - next_, size_t(chunk_)});
    std::memcpy(buffer, data_ + next_, n);
    next_ += n;
    return static_cast<int>(n);
  }

private:
  const std::uint8_t* data_;
  size_t size_, released_ = 0, next_ = 0;
  int chunk_;
};
