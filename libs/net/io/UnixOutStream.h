// The output stream of a Unix stream socket channel: descriptors queued with
// passFd() travel with the following writes, one per write.
#pragma once

#include "rdr/FdOutStream.h"

namespace io {

class UnixOutStream : public rdr::FdOutStream {
public:
  using rdr::FdOutStream::FdOutStream;
  // Queues fd to travel with the next write; closeAfter: the stream closes
  // it once it has been sent (or when the stream is destroyed unsent).
  virtual void passFd(int fd, bool closeAfter) = 0;
};

} // namespace io
