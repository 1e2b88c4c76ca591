// An output stream into an owned block of memory that grows as needed, up to
// an optional limit (0 for none). data() and length() give what was written.
#pragma once

#include "rdr/OutStream.h"

#include <memory>

namespace rdr {

class MemOutStream : public OutStream {
public:
  explicit MemOutStream(int size = 1024, int limit = 0);
  ~MemOutStream() override;

  void writeBytes(const void* data, int length) override;
  std::int64_t length() override;
  int spaceAvailable() override;
  // Grows the block; throws OutStreamFull when the item would pass the limit.
  int overrun(int itemSize, int nItems) override;

  const std::uint8_t* data() const { return start.get(); }
  int getSize() const { return size; }

private:
  std::unique_ptr<std::uint8_t[]> start;
  int size;
  int limit;
};

} // namespace rdr
