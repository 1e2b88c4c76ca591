#include "rdr/InStreamV4.h"

#include "plat/LogWriter.h"
#include "rdr/OutStreamV4.h"

static plat::LogWriter vlog("InStreamV4");

namespace rdr {

InStreamV4::InStreamV4(InStream* underlying) : FramedInStream(underlying) {
}

void InStreamV4::readFrameHeader(int* size, bool* last) {
  std::uint16_t header = underlying->readU16();
  int length = header & 0x7fff;
  if (length > OutStreamV4::maxFrameData)
    throw FrameException("InStreamV4: frame header announces more than 32766 bytes");
  *last = (header & OutStreamV4::lastFrameBit) != 0;
  *size = length;
}

} // namespace rdr
