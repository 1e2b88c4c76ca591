// An input stream that decodes hex text read from another stream: each pair
// of digits ("0"-"9", "a"-"f", "A"-"F", high nibble first) is one byte. The
// underlying stream is borrowed.
#pragma once

#include "rdr/BufferedInStream.h"

namespace rdr {

class HexInStream : public BufferedInStream {
public:
  // bufSize 0 gives the default size. Takes a checkpoint on in.
  HexInStream(InStream& in, int bufSize = 0);
  // Wipes the buffer.
  ~HexInStream() override;

protected:
  // Decodes every whole pair the underlying stream has buffered (at least
  // one, up to length). A character that is not a hex digit throws
  // plat::Exception "Invalid hex digit".
  int readData(std::uint8_t* buffer, int length) override;

private:
  InStream& in_;
};

} // namespace rdr
