#include "rdr/OutStreamV4.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("OutStreamV4");

namespace rdr {

OutStreamV4::OutStreamV4(OutStream* underlying, bool bulk)
    : FramedOutStream(underlying, maxFrameData, frameHeaderSize, bulk) {
}

void OutStreamV4::writeFrameHeader(int dataLength, bool lastFrame, bool) {
  std::uint16_t header = static_cast<std::uint16_t>(dataLength);
  if (lastFrame)
    header |= lastFrameBit;
  writeU16(header);
}

} // namespace rdr
