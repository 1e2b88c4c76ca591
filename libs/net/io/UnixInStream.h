// The input stream of a Unix stream socket channel: besides the bytes it
// hands out the descriptors that arrived with them, oldest first. The
// stream owns a received descriptor until takeFd() gives it to the caller.
#pragma once

#include "rdr/FdInStream.h"

namespace io {

class UnixInStream : public rdr::FdInStream {
public:
  using rdr::FdInStream::FdInStream;
  // The oldest descriptor received and not yet taken, now owned by the
  // caller; -1 when there is none.
  virtual int takeFd() = 0;
};

} // namespace io
