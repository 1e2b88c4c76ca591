// An input stream fed by the program itself through a fixed ring buffer: the
// receiver of a transfer pushes bytes in with addData(), a reader takes them
// out with the usual readers. Bytes since the reader's checkpoint are kept, so
// a rewind works across the ring's wrap; the space they hold is not reusable
// until the reader takes a new checkpoint.
#pragma once

#include "plat/Exception.h"
#include "rdr/InStream.h"

#include <memory>

namespace rdr {

class CircularInStream : public InStream {
public:
  // The ring is full: nothing was added, the feeder may retry after the
  // reader consumed data.
  class Overflow : public plat::Exception {
  public:
    Overflow() : plat::Exception("Overflow") {}
  };

  explicit CircularInStream(int bufSize);
  ~CircularInStream() override;

  // Appends the bytes; throws Overflow when they do not fit.
  void addData(const void* data, int length);
  // After this an empty stream throws EndOfStream instead of would-block.
  void setEndOfStream() { endOfStream = true; }

  std::int64_t pos() const override;
  void checkpoint() override;
  void rewind() override;

protected:
  bool fill(int n) override;

private:
  const std::uint8_t* ringEnd() const { return start.get() + bufSize; }

  int bufSize;
  std::int64_t offset = 0;
  std::unique_ptr<std::uint8_t[]> start;
  std::uint8_t* writePtr;
  bool endOfStream = false;
  bool readerWrapped = false;
  bool writerWrapped = false;
};

} // namespace rdr
