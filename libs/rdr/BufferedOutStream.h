// An output stream with an owned buffer that a derived class writes out
// through writeData(). Bytes already written out are dropped from the front;
// when the room runs short the buffer doubles up to "MaxOutBufferSize", and
// only then does the writer wait for the destination.
#pragma once

#include "rdr/OutStream.h"

#include <memory>

namespace rdr {

class BufferedOutStream : public OutStream {
public:
  static constexpr int defaultBufSize = 16384;

  // bufSize 0 gives defaultBufSize.
  explicit BufferedOutStream(int bufSize = 0);
  // Frees the buffer without writing it out: derived streams flush first.
  ~BufferedOutStream() override;

  std::int64_t length() override;
  // Writes out everything buffered; in non-waiting mode only what can go at
  // once.
  void flush() override;
  int spaceAvailable() override;
  int overrun(int itemSize, int nItems) override;
  // Writes out the buffered bytes and the blocks together (one gathering
  // write where the destination allows it). In non-waiting mode what the
  // destination does not take at once is buffered behind the unsent bytes.
  bool writeGather(const struct iovec* blocks, int n) override;

  // Writes out the buffered bytes, waiting for the destination when wait is
  // true; false when bytes remain.
  bool flushBuffer(bool wait);
  // Bytes buffered but not yet written out.
  int unsentBytes() const { return static_cast<int>(ptr - sentPtr); }
  int getBufSize() const { return bufSize; }
  void setNonWaiting(bool on) { nonWaiting = on; }
  bool isNonWaiting() const { return nonWaiting; }
  // Hex-dumps every block taken by writeData to standard error.
  void setTrace(bool on) { trace = on; }

  // The current greatest buffer size ("MaxOutBufferSize").
  static int maxBufSize();

protected:
  // Writes some of the bytes and returns how many were taken; 0 only when
  // wait is false and nothing could go at once. Failures are thrown.
  virtual int writeData(const std::uint8_t* data, int length, bool wait) = 0;
  // The same for n blocks written out in turn (n > 0, the first not empty);
  // by default only the first block, through writeData.
  virtual int writeDataV(const struct iovec* iov, int n, bool wait);

  int bufSize;
  std::int64_t offset = 0;
  std::unique_ptr<std::uint8_t[]> start;
  std::uint8_t* sentPtr;
  bool nonWaiting = false;
  bool trace = false;

private:
  void grow(int newSize);
  void sent(int k);
};

} // namespace rdr
