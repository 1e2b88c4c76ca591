#include "rdr/InStream.h"

#include "plat/LogWriter.h"

#include <algorithm>
#include <memory>

static plat::LogWriter vlog("InStream");

namespace rdr {

InStream::~InStream() = default;

void InStream::checkpoint() {
  checkpointPtr = ptr;
  checkpointPos = pos();
}

void InStream::rewind() {
  if (!rewindable)
    throw plat::Exception("Attempt to rewind a non-rewindable stream");
  ptr = checkpointPtr;
}

void InStream::reposition(std::int64_t p) {
  std::int64_t distance = p - checkpointPos;
  if (distance < 0)
    throw plat::Exception("Can't reposition before checkpoint");
  rewind();
  while (distance > 0) {
    if (ptr == end)
      overrun(true, 1);
    std::int64_t k = std::min<std::int64_t>(distance, end - ptr);
    ptr += k;
    distance -= k;
  }
}

bool InStream::overrun(bool wait, int n) {
  if (!rewindable)
    checkpoint();
  bool got;
  try {
    got = fill(n);
  } catch (BlockException&) {
    got = false;
  }
  if (!got) {
    if (rewindable)
      rewind();
    if (!wait)
      return false;
    throw BlockException();
  }
  if (ptr == end)
    throw plat::Exception("InStream overrun: buffer size exceeded");
  return true;
}

void InStream::skip(int n) {
  PLAT_ASSERT(n >= 0);
  while (n > 0) {
    if (ptr == end)
      overrun(true, n);
    int k = std::min<int>(n, static_cast<int>(end - ptr));
    ptr += k;
    n -= k;
  }
}

const std::uint8_t* InStream::getBytes(void* buffer, int n) {
  PLAT_ASSERT(n >= 0);
  if (end - ptr < n)
    overrun(true, n);
  if (end - ptr >= n) {
    const std::uint8_t* p = ptr;
    ptr += n;
    return p;
  }
  std::uint8_t* out = static_cast<std::uint8_t*>(buffer);
  int copied = 0;
  while (copied < n) {
    if (ptr == end)
      overrun(true, 1);
    int k = std::min<int>(n - copied, static_cast<int>(end - ptr));
    std::memcpy(out + copied, ptr, k);
    ptr += k;
    copied += k;
  }
  return out;
}

const std::uint8_t* InStream::getItems(void* buffer, int itemSize, int* nItems) {
  PLAT_ASSERT(*nItems > 0);
  PLAT_ASSERT(itemSize > 0);
  if (end - ptr < itemSize)
    overrun(true, itemSize);
  int whole = static_cast<int>((end - ptr) / itemSize);
  if (whole > 0) {
    if (whole < *nItems)
      *nItems = whole;
    const std::uint8_t* p = ptr;
    ptr += static_cast<std::ptrdiff_t>(*nItems) * itemSize;
    return p;
  }
  *nItems = 1;
  return getBytes(buffer, itemSize);
}

char* InStream::readString(int maxLength) {
  std::uint32_t len = readU32();
  if (len > static_cast<std::uint32_t>(std::max(maxLength, 0)))
    throw StringTooLongException();
  std::unique_ptr<char[]> text(new char[len + 1]);
  std::uint32_t copied = 0;
  while (copied < len) {
    if (ptr == end)
      overrun(true, 1);
    std::uint32_t k = std::min<std::uint32_t>(len - copied, static_cast<std::uint32_t>(end - ptr));
    std::memcpy(text.get() + copied, ptr, k);
    ptr += k;
    copied += k;
  }
  text[len] = '\0';
  return text.release();
}

} // namespace rdr
