#include "rdr/MemInStream.h"

#include "plat/LogWriter.h"
#include "rdr/Exception.h"

static plat::LogWriter vlog("MemInStream");

namespace rdr {

MemInStream::MemInStream(const void* data, int length, bool deleteWhenDone_)
    : start(static_cast<const std::uint8_t*>(data)), deleteWhenDone(deleteWhenDone_) {
  PLAT_ASSERT(length >= 0);
  ptr = checkpointPtr = start;
  end = start + length;
}

MemInStream::~MemInStream() {
  if (deleteWhenDone)
    delete[] start;
}

std::int64_t MemInStream::pos() const {
  return ptr - start;
}

bool MemInStream::fill(int) {
  throw EndOfStream();
}

} // namespace rdr
