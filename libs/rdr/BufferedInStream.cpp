#include "rdr/BufferedInStream.h"

#include "plat/Hex.h"
#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("BufferedInStream");

namespace rdr {

BufferedInStream::BufferedInStream(int bufSize_)
    : bufSize(bufSize_ > 0 ? bufSize_ : defaultBufSize), start(new std::uint8_t[bufSize]) {
  ptr = end = checkpointPtr = start.get();
}

BufferedInStream::~BufferedInStream() = default;

std::int64_t BufferedInStream::pos() const {
  return offset + (ptr - start.get());
}

bool BufferedInStream::fill(int n) {
  std::uint8_t* buf = start.get();
  if (checkpointPtr != buf) {
    std::ptrdiff_t dropped = checkpointPtr - buf;
    std::memmove(buf, checkpointPtr, end - checkpointPtr);
    checkpointPtr -= dropped;
    ptr -= dropped;
    end -= dropped;
    offset += dropped;
  }
  std::uint8_t* bufEnd = buf + bufSize;
  std::ptrdiff_t want = std::min<std::ptrdiff_t>(n, bufEnd - ptr);
  if (end - ptr >= want)
    return true;
  // end points into our own buffer; the base keeps it const for readers.
  std::uint8_t* wr = buf + (end - buf);
  while (end - ptr < want) {
    int got = readData(wr, static_cast<int>(bufEnd - wr));
    if (got == 0)
      return false;
    if (trace)
      plat::hexDump(" <-- ", "     ", wr, got);
    wr += got;
    end = wr;
  }
  return true;
}

} // namespace rdr
