// An output stream that writes each byte as two lowercase hex digits, high
// nibble first, straight into the buffer of another stream. The underlying
// stream is borrowed; users flush before dropping the hex stream.
#pragma once

#include "rdr/BufferedOutStream.h"

namespace rdr {

class HexOutStream : public BufferedOutStream {
public:
  // bufSize 0 gives the default size.
  HexOutStream(OutStream& out, int bufSize = 0);
  // Does not flush; wipes the buffer.
  ~HexOutStream() override;

  // Writes out this stream's buffer as hex, then flushes the underlying one.
  void flush() override;

protected:
  // Encodes as many bytes as the underlying window has room for, making room
  // there when it has none.
  int writeData(const std::uint8_t* data, int length, bool wait) override;

private:
  OutStream& out_;
};

} // namespace rdr
