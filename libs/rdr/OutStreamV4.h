// Version-4 framing on output: frames of at most 32766 data bytes behind a
// 2-byte big-endian header whose top bit marks the last frame of a message.
#pragma once

#include "rdr/FramedOutStream.h"

namespace rdr {

class OutStreamV4 : public FramedOutStream {
public:
  static constexpr int maxFrameData = 32766;
  static constexpr int frameHeaderSize = 2;
  static constexpr std::uint16_t lastFrameBit = 0x8000;

  // bulk: see FramedOutStream.
  explicit OutStreamV4(OutStream* underlying, bool bulk = false);

protected:
  void writeFrameHeader(int dataLength, bool lastFrame, bool firstFrame) override;
};

} // namespace rdr
