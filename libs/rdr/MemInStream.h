// An input stream over a block of memory. The block is borrowed unless
// deleteWhenDone is given, in which case it was allocated with new[] and the
// stream frees it.
#pragma once

#include "rdr/InStream.h"

namespace rdr {

class MemInStream : public InStream {
public:
  MemInStream(const void* data, int length, bool deleteWhenDone = false);
  ~MemInStream() override;

  std::int64_t pos() const override;

protected:
  // Always throws EndOfStream: the block is all there is.
  bool fill(int n) override;

private:
  const std::uint8_t* start;
  bool deleteWhenDone;
};

} // namespace rdr
