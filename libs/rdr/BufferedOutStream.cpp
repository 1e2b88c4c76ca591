#include "rdr/BufferedOutStream.h"

#include "plat/Hex.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("BufferedOutStream");

// The range keeps the limit at least the default buffer size (a smaller one
// could not be honoured) and small enough that doubling stays meaningful.
static plat::IntParameter maxOutBufferSize(
    "MaxOutBufferSize",
    "The maximum number of bytes to buffer internally when writing to slow clients.  Larger "
    "values improve concurrency, smaller values reduce memory usage.  Changes to this settings "
    "affect new connections only.",
    4194304, rdr::BufferedOutStream::defaultBufSize, 1 << 30);

namespace rdr {

int BufferedOutStream::maxBufSize() {
  return maxOutBufferSize.getValue();
}

BufferedOutStream::BufferedOutStream(int bufSize_)
    : bufSize(bufSize_ > 0 ? bufSize_ : defaultBufSize), start(new std::uint8_t[bufSize]) {
  ptr = sentPtr = start.get();
  end = start.get() + bufSize;
}

BufferedOutStream::~BufferedOutStream() = default;

std::int64_t BufferedOutStream::length() {
  return offset + (ptr - start.get());
}

int BufferedOutStream::spaceAvailable() {
  return static_cast<int>((end - ptr) + (sentPtr - start.get()));
}

void BufferedOutStream::sent(int k) {
  if (trace && k > 0)
    plat::hexDump(" --> ", "     ", sentPtr, k);
  sentPtr += k;
}

bool BufferedOutStream::flushBuffer(bool wait) {
  while (sentPtr < ptr) {
    int k = writeData(sentPtr, static_cast<int>(ptr - sentPtr), wait);
    if (k == 0)
      return false;
    sent(k);
  }
  offset += ptr - start.get();
  sentPtr = ptr = start.get();
  return true;
}

void BufferedOutStream::flush() {
  flushBuffer(!nonWaiting);
}

void BufferedOutStream::grow(int newSize) {
  std::unique_ptr<std::uint8_t[]> bigger(new std::uint8_t[newSize]);
  std::ptrdiff_t unsent = ptr - sentPtr;
  std::memcpy(bigger.get(), sentPtr, unsent);
  offset += sentPtr - start.get();
  start = std::move(bigger);
  bufSize = newSize;
  sentPtr = start.get();
  ptr = sentPtr + unsent;
  end = start.get() + bufSize;
}

int BufferedOutStream::overrun(int itemSize, int nItems) {
  PLAT_ASSERT(itemSize > 0);
  flushBuffer(false);
  while (spaceAvailable() < itemSize) {
    int limit = maxBufSize();
    if (bufSize < limit) {
      // Doubling is done in 64 bits so that a large limit cannot overflow.
      std::int64_t doubled = 2 * static_cast<std::int64_t>(bufSize);
      grow(static_cast<int>(std::min<std::int64_t>(limit, doubled)));
      continue;
    }
    if (itemSize > bufSize)
      throw plat::Exception("BufferedOutStream: item larger than the greatest buffer");
    sent(writeData(sentPtr, static_cast<int>(ptr - sentPtr), true));
  }
  std::uint8_t* buf = start.get();
  if (sentPtr != buf) {
    std::ptrdiff_t unsent = ptr - sentPtr;
    std::memmove(buf, sentPtr, unsent);
    offset += sentPtr - buf;
    sentPtr = buf;
    ptr = buf + unsent;
  }
  std::ptrdiff_t room = end - ptr;
  if (static_cast<std::int64_t>(itemSize) * nItems <= room)
    return nItems;
  return static_cast<int>(room / itemSize);
}

} // namespace rdr
