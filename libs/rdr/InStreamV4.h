// Version-4 framing on input: a 2-byte big-endian header per frame, top bit
// for the last frame of a message, the rest the frame's data length. A header
// announcing more than 32766 bytes is refused: no writer sends one.
#pragma once

#include "rdr/FramedInStream.h"

namespace rdr {

class InStreamV4 : public FramedInStream {
public:
  explicit InStreamV4(InStream* underlying);

protected:
  void readFrameHeader(int* size, bool* last) override;
};

} // namespace rdr
