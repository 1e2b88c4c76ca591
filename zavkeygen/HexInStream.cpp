#include "zavkeygen/HexInStream.h"

#include "plat/Exception.h"
#include "plat/Hex.h"
#include "plat/LogWriter.h"

#include <cstring>

namespace rdr {

static plat::LogWriter vlog("HexInStream");

HexInStream::HexInStream(InStream& in, int bufSize) : BufferedInStream(bufSize), in_(in) {
  in_.checkpoint();
}

HexInStream::~HexInStream() {
  // The bytes passing through are key material: they do not linger in freed
  // memory.
  explicit_bzero(start.get(), static_cast<size_t>(bufSize));
}

int HexInStream::readData(std::uint8_t* buffer, int length) {
  std::uint8_t pair[2];
  int n = length;
  const std::uint8_t* text = in_.getItems(pair, 2, &n);
  for (int i = 0; i < n; i++) {
    std::uint8_t value = 0;
    if (!plat::addHexDigit(static_cast<char>(text[2 * i]), value) ||
        !plat::addHexDigit(static_cast<char>(text[2 * i + 1]), value))
      throw plat::Exception("Invalid hex digit");
    buffer[i] = value;
  }
  in_.checkpoint();
  return n;
}

} // namespace rdr
