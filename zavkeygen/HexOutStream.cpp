#include "zavkeygen/HexOutStream.h"

#include "plat/Hex.h"
#include "plat/LogWriter.h"

#include <cstring>

namespace rdr {

static plat::LogWriter vlog("HexOutStream");

HexOutStream::HexOutStream(OutStream& out, int bufSize) : BufferedOutStream(bufSize), out_(out) {
}

HexOutStream::~HexOutStream() {
  // The bytes passing through are key material: they do not linger in freed
  // memory.
  explicit_bzero(start.get(), static_cast<size_t>(bufSize));
}

void HexOutStream::flush() {
  BufferedOutStream::flush();
  out_.flush();
}

int HexOutStream::writeData(const std::uint8_t* data, int length, bool) {
  int room = static_cast<int>(out_.getend() - out_.getptr());
  int n;
  if (room >= 2 * length)
    n = length;
  else if (room < 2)
    n = out_.overrun(2, length);
  else
    n = room / 2;
  std::uint8_t* p = out_.getptr();
  for (int i = 0; i < n; i++) {
    p[2 * i] = static_cast<std::uint8_t>(plat::intToHexDigit(data[i] >> 4));
    p[2 * i + 1] = static_cast<std::uint8_t>(plat::intToHexDigit(data[i] & 15));
  }
  out_.setPtr(p + 2 * n);
  return n;
}

} // namespace rdr
