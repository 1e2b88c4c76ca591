// An input stream that reads a local file through its descriptor, which it
// owns and closes. Reads are plain read() calls: a local file never makes the
// reader wait for long.
#pragma once

#include "rdr/BufferedInStream.h"

namespace ft {

class FdInStream : public rdr::BufferedInStream {
public:
  explicit FdInStream(int fd);
  ~FdInStream() override;

protected:
  // Throws rdr::EndOfStream at the end of the file and plat::SystemException
  // "read" on failure.
  int readData(std::uint8_t* buffer, int length) override;

private:
  int fd;
};

} // namespace ft
