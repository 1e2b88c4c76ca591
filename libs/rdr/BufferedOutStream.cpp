#include "rdr/BufferedOutStream.h"

#include "plat/Hex.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"

#include <algorithm>
#include <vector>

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

int BufferedOutStream::writeDataV(const struct iovec* iov, int, bool wait) {
  return writeData(static_cast<const std::uint8_t*>(iov[0].iov_base),
                   static_cast<int>(iov[0].iov_len), wait);
}

bool BufferedOutStream::writeGather(const struct iovec* blocks, int n) {
  if (trace)
    return false;
  // The unsent bytes first, then the blocks; empty blocks are left out so
  // that the first entry always has bytes to write.
  std::vector<struct iovec> iov;
  iov.reserve(n + 1);
  const bool unsent = ptr != sentPtr;
  if (unsent)
    iov.push_back({sentPtr, static_cast<size_t>(ptr - sentPtr)});
  for (int i = 0; i < n; i++)
    if (blocks[i].iov_len > 0)
      iov.push_back(blocks[i]);
  size_t next = 0;
  // Block bytes that went out without passing through the buffer: they
  // count in the length as bytes before the buffer's start.
  std::int64_t direct = 0;
  while (next < iov.size()) {
    int k = writeDataV(&iov[next], static_cast<int>(iov.size() - next), !nonWaiting);
    if (k == 0)
      break;
    while (k > 0) {
      int part = static_cast<int>(std::min<size_t>(k, iov[next].iov_len));
      if (unsent && next == 0)
        sent(part);
      else
        direct += part;
      iov[next].iov_base = static_cast<std::uint8_t*>(iov[next].iov_base) + part;
      iov[next].iov_len -= part;
      k -= part;
      if (iov[next].iov_len == 0)
        next++;
    }
  }
  if (sentPtr == ptr) {
    offset += ptr - start.get();
    sentPtr = ptr = start.get();
  }
  // Blocks start going out only once the unsent bytes are all gone.
  PLAT_ASSERT(direct == 0 || ptr == start.get());
  offset += direct;
  // What the destination did not take (non-waiting mode only) goes behind
  // the unsent bytes.
  if (unsent && next == 0)
    next++;
  for (; next < iov.size(); next++)
    OutStream::writeBytes(iov[next].iov_base, static_cast<int>(iov[next].iov_len));
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
