#include "rdr/CircularInStream.h"

#include "plat/LogWriter.h"
#include "rdr/Exception.h"

#include <algorithm>

static plat::LogWriter vlog("CircularInStream");

namespace rdr {

CircularInStream::CircularInStream(int bufSize_)
    : bufSize(bufSize_), start(new std::uint8_t[bufSize_ > 0 ? bufSize_ : 1]) {
  PLAT_ASSERT(bufSize_ > 0);
  ptr = end = checkpointPtr = writePtr = start.get();
}

CircularInStream::~CircularInStream() = default;

void CircularInStream::addData(const void* data, int length) {
  PLAT_ASSERT(length >= 0);
  std::int64_t inUse = (writePtr - checkpointPtr) + (writerWrapped ? bufSize : 0);
  if (bufSize - inUse < length)
    throw Overflow();
  const std::uint8_t* src = static_cast<const std::uint8_t*>(data);
  while (length > 0) {
    const std::uint8_t* limit = writerWrapped ? checkpointPtr : ringEnd();
    int n = std::min<int>(length, static_cast<int>(limit - writePtr));
    std::memcpy(writePtr, src, n);
    writePtr += n;
    src += n;
    length -= n;
    if (!writerWrapped) {
      end = writePtr;
      if (writePtr == ringEnd()) {
        writePtr = start.get();
        writerWrapped = true;
      }
    }
  }
}

bool CircularInStream::fill(int) {
  if (ptr != end)
    return true;
  if (ptr == ringEnd() && !readerWrapped && writerWrapped) {
    offset += bufSize;
    ptr = start.get();
    readerWrapped = true;
    end = writePtr;
  } else {
    end = (writerWrapped && !readerWrapped) ? ringEnd() : writePtr;
  }
  if (ptr != end)
    return true;
  if (endOfStream)
    throw EndOfStream();
  return false;
}

void CircularInStream::checkpoint() {
  if (readerWrapped)
    readerWrapped = writerWrapped = false;
  InStream::checkpoint();
}

void CircularInStream::rewind() {
  if (readerWrapped)
    offset -= bufSize;
  ptr = checkpointPtr;
  readerWrapped = false;
  end = writerWrapped ? ringEnd() : writePtr;
}

std::int64_t CircularInStream::pos() const {
  return offset + (ptr - start.get());
}

} // namespace rdr
