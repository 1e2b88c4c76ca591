#include "rfb/MsgWriter.h"

#include "rdr/OutStream.h"

#include <algorithm>
#include <cstring>

namespace rfb {

MsgWriter::MsgWriter(rdr::OutStream* os_) : os(os_) {
}

MsgWriter::~MsgWriter() = default;

rdr::OutStream* MsgWriter::startNamedMsg(const char* name) {
  startMsg(namedMsgType);
  int length = static_cast<int>(std::min<size_t>(std::strlen(name), 255));
  os->writeU8(static_cast<std::uint8_t>(length));
  os->writeBytes(name, length);
  return os;
}

int MsgWriter::namedMsgSpace(const char* name) {
  std::int64_t space = static_cast<std::int64_t>(os->spaceAvailable()) -
                       static_cast<std::int64_t>(std::strlen(name)) - 3;
  return static_cast<int>(std::max<std::int64_t>(space, 0));
}

} // namespace rfb
