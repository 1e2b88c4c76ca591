// An input stream with an owned buffer that a derived class fills through
// readData(). The buffer is compacted down to the checkpoint, never grown:
// bytes since the checkpoint stay so that a rewind works.
#pragma once

#include "rdr/InStream.h"

#include <memory>

namespace rdr {

class BufferedInStream : public InStream {
public:
  static constexpr int defaultBufSize = 16800;

  // bufSize 0 gives defaultBufSize.
  explicit BufferedInStream(int bufSize = 0);
  ~BufferedInStream() override;

  std::int64_t pos() const override;
  // Hex-dumps every block delivered to standard error.
  void setTrace(bool on) { trace = on; }
  int getBufSize() const { return bufSize; }

protected:
  bool fill(int n) override;
  // Places at least 1 byte into buffer and returns the count, or 0 when
  // nothing can be had without waiting. Failures are thrown.
  virtual int readData(std::uint8_t* buffer, int length) = 0;

  int bufSize;
  std::int64_t offset = 0;
  std::unique_ptr<std::uint8_t[]> start;
  bool trace = false;
};

} // namespace rdr
