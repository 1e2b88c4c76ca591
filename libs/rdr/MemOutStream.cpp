#include "rdr/MemOutStream.h"

#include "plat/LogWriter.h"
#include "rdr/Exception.h"

#include <algorithm>
#include <climits>

static plat::LogWriter vlog("MemOutStream");

namespace rdr {

MemOutStream::MemOutStream(int size_, int limit_)
    : start(new std::uint8_t[size_ > 0 ? size_ : 1]), size(size_ > 0 ? size_ : 1),
      limit(limit_ > 0 ? limit_ : 0) {
  ptr = start.get();
  end = start.get() + size;
}

MemOutStream::~MemOutStream() = default;

void MemOutStream::writeBytes(const void* data, int length) {
  PLAT_ASSERT(length >= 0);
  if (end - ptr < length)
    overrun(length, 1);
  std::memcpy(ptr, data, length);
  ptr += length;
}

std::int64_t MemOutStream::length() {
  return ptr - start.get();
}

int MemOutStream::spaceAvailable() {
  return INT_MAX;
}

int MemOutStream::overrun(int itemSize, int nItems) {
  PLAT_ASSERT(itemSize > 0 && nItems > 0);
  std::int64_t used = ptr - start.get();
  if ((limit > 0 && used + itemSize > limit) || used + itemSize > INT_MAX)
    throw OutStreamFull();
  std::int64_t newSize = std::max<std::int64_t>(
      2 * static_cast<std::int64_t>(size), used + static_cast<std::int64_t>(itemSize) * nItems);
  newSize = std::min<std::int64_t>(newSize, limit > 0 ? limit : INT_MAX);
  std::unique_ptr<std::uint8_t[]> bigger(new std::uint8_t[newSize]);
  std::memcpy(bigger.get(), start.get(), used);
  start = std::move(bigger);
  size = static_cast<int>(newSize);
  ptr = start.get() + used;
  end = start.get() + size;
  return static_cast<int>(std::min<std::int64_t>(nItems, (end - ptr) / itemSize));
}

} // namespace rdr
