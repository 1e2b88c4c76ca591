// The base of every input stream: a window of readable bytes [ptr, end) that
// the inline big-endian readers use directly, refilled by the virtual fill()
// only when it runs dry. Readers of non-blocking sources take a checkpoint
// where a message starts; a read that cannot complete rewinds to it and throws
// BlockException, so the whole message can be read again later. A buffered
// stream keeps only the bytes since the checkpoint, so a reader must take a
// checkpoint at least once per buffer's worth of data.
#pragma once

#include "plat/Assert.h"
#include "rdr/Exception.h"

#include <cstdint>
#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "typed accessors swap bytes for a little-endian host");

namespace rdr {

class InStream {
public:
  virtual ~InStream();
  InStream(const InStream&) = delete;
  InStream& operator=(const InStream&) = delete;

  // Absolute offset of the next unread byte from the start of the stream.
  virtual std::int64_t pos() const = 0;
  virtual void checkpoint();
  // Back to the checkpoint; throws plat::Exception on a stream that cannot
  // keep the bytes since the checkpoint.
  virtual void rewind();
  // Rewinds, then skips forward to the absolute offset p (not before the
  // checkpoint).
  virtual void reposition(std::int64_t p);

  // Makes at least one byte readable, trying for n. On a source that has
  // nothing now it rewinds to the checkpoint, then returns false (wait false)
  // or throws BlockException (wait true).
  bool overrun(bool wait, int n);

  std::uint8_t readU8() {
    if (ptr == end)
      overrun(true, 1);
    return *ptr++;
  }
  std::uint16_t readU16() {
    std::uint8_t tmp[2];
    std::uint16_t v;
    std::memcpy(&v, take(tmp, 2), 2);
    return __builtin_bswap16(v);
  }
  std::uint32_t readU32() {
    std::uint8_t tmp[4];
    std::uint32_t v;
    std::memcpy(&v, take(tmp, 4), 4);
    return __builtin_bswap32(v);
  }
  std::int8_t readS8() { return static_cast<std::int8_t>(readU8()); }
  std::int16_t readS16() { return static_cast<std::int16_t>(readU16()); }
  std::int32_t readS32() { return static_cast<std::int32_t>(readU32()); }
  void skip(int n);
  // Copies n bytes into data.
  void readBytes(void* data, int n) {
    const std::uint8_t* p = getBytes(data, n);
    if (p != data)
      std::memcpy(data, p, n);
  }

  // A pointer to n consecutive bytes: into the window when they lie there
  // (valid until the next read), else into buffer, where they were gathered.
  const std::uint8_t* getBytes(void* buffer, int n);
  // Like getBytes for an array: *nItems (at least 1) is the count wanted.
  // With a whole item in the window it points there and sets *nItems to the
  // whole items present (at most those asked for); otherwise it gathers one
  // item into buffer and sets *nItems to 1.
  const std::uint8_t* getItems(void* buffer, int itemSize, int* nItems);
  // A U32 length and that many bytes, as a NUL-terminated array allocated
  // with new[] and owned by the caller. A length above maxLength throws
  // StringTooLongException before anything is allocated.
  char* readString(int maxLength);

  const std::uint8_t* getptr() const { return ptr; }
  const std::uint8_t* getend() const { return end; }
  int avail() const { return static_cast<int>(end - ptr); }
  // Moves the read pointer forward to p, which must lie in [ptr, end].
  void setPtr(const std::uint8_t* p) {
    PLAT_ASSERT(p >= ptr && p <= end);
    ptr = p;
  }

protected:
  InStream() = default;
  // Tries to make n more bytes readable beyond ptr; true when some are,
  // false when the source has nothing now.
  virtual bool fill(int n) = 0;

  // n bytes from the window, or gathered into tmp.
  const std::uint8_t* take(std::uint8_t* tmp, int n) {
    if (end - ptr >= n) {
      const std::uint8_t* p = ptr;
      ptr += n;
      return p;
    }
    return getBytes(tmp, n);
  }

  const std::uint8_t* ptr = nullptr;
  const std::uint8_t* end = nullptr;
  const std::uint8_t* checkpointPtr = nullptr;
  std::int64_t checkpointPos = 0;
  bool rewindable = true;
};

} // namespace rdr
