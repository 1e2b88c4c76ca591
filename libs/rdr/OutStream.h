// The base of every output stream: a window of writable bytes [ptr, end) that
// the inline big-endian writers fill directly; when it is full the virtual
// overrun() makes room (by writing out, growing or starting a new frame).
#pragma once

#include "plat/Assert.h"

#include <cstdint>
#include <cstring>
#include <sys/uio.h>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "typed accessors swap bytes for a little-endian host");

namespace rdr {

class OutStream {
public:
  virtual ~OutStream();
  OutStream(const OutStream&) = delete;
  OutStream& operator=(const OutStream&) = delete;

  void writeU8(std::uint8_t v) {
    if (ptr == end)
      overrun(1, 1);
    *ptr++ = v;
  }
  void writeU16(std::uint16_t v) {
    if (end - ptr < 2)
      overrun(2, 1);
    v = __builtin_bswap16(v);
    std::memcpy(ptr, &v, 2);
    ptr += 2;
  }
  void writeU32(std::uint32_t v) {
    if (end - ptr < 4)
      overrun(4, 1);
    v = __builtin_bswap32(v);
    std::memcpy(ptr, &v, 4);
    ptr += 4;
  }
  void writeS8(std::int8_t v) { writeU8(static_cast<std::uint8_t>(v)); }
  void writeS16(std::int16_t v) { writeU16(static_cast<std::uint16_t>(v)); }
  void writeS32(std::int32_t v) { writeU32(static_cast<std::uint32_t>(v)); }
  // A U32 length and the bytes of the text, the form readString() reads.
  void writeString(const char* text);

  virtual void writeBytes(const void* data, int length);
  // Writes the window's bytes and then the n blocks, passing the blocks
  // straight to the destination without copying them into a buffer where it
  // can. False (nothing done) when this stream has no such path; the caller
  // then writes the blocks through the window.
  virtual bool writeGather(const struct iovec* blocks, int n);
  // Total bytes written to the stream so far.
  virtual std::int64_t length() = 0;
  virtual void flush() {}
  // How many more bytes can be accepted without waiting.
  virtual int spaceAvailable() = 0;
  // Makes room for at least one item of itemSize bytes; returns how many
  // whole items (at most nItems) now fit in the window.
  virtual int overrun(int itemSize, int nItems) = 0;

  std::uint8_t* getptr() const { return ptr; }
  std::uint8_t* getend() const { return end; }
  // Moves the write pointer forward to p, which must lie in [ptr, end]: the
  // bytes in between were written directly into the window.
  void setPtr(std::uint8_t* p) {
    PLAT_ASSERT(p >= ptr && p <= end);
    ptr = p;
  }

protected:
  OutStream() = default;

  std::uint8_t* ptr = nullptr;
  std::uint8_t* end = nullptr;
};

} // namespace rdr
