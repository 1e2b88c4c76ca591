// A pipe's view of a fuzzer's input for the co-process's request readers:
// small reads, then end of stream.
#pragma once

#include "rdr/BufferedInStream.h"
#include "rdr/Exception.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

class PipeSource : public rdr::BufferedInStream {
public:
  PipeSource(const std::uint8_t* data, size_t size)
      : rdr::BufferedInStream(0), data_(data), size_(size) {}

protected:
  int readData(std::uint8_t* buffer, int length) override {
    if (next_ == size_)
      throw rdr::EndOfStream();
    size_t n = std::min<size_t>({size_t(length), size_ - next_, size_t(7)});
    std::memcpy(buffer, data_ + next_, n);
    next_ += n;
    return static_cast<int>(n);
  }

private:
  const std::uint8_t* data_;
  size_t size_;
  size_t next_ = 0;
};
