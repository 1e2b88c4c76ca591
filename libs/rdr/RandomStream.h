// Random bytes from the system's random device, read with the usual readers
// (the loopback cookies and the key glue draw from it). Without a system
// source the constructor fails: there is no weaker substitute. The stream
// cannot be rewound.
#pragma once

#include "rdr/BufferedInStream.h"

namespace rdr {

class RandomStream : public BufferedInStream {
public:
  // The devices tried in order.
  static const char* const defaultSources[];

  // Opens the first of sources (a null-terminated list) that opens; throws
  // plat::SystemException when none does.
  explicit RandomStream(const char* const* sources = defaultSources);
  ~RandomStream() override;

protected:
  // One read of exactly length bytes; a short read throws
  // plat::SystemException.
  int readData(std::uint8_t* buffer, int length) override;

private:
  int source = -1;
};

} // namespace rdr
