#include "x0zavserver/unix/ScrubbingFdInStream.h"

#include <cstring>

namespace os {

ScrubbingFdInStream::~ScrubbingFdInStream() {
  explicit_bzero(start.get(), bufSize);
}

void ScrubbingFdInStream::checkpoint() {
  rdr::FdInStream::checkpoint();
  // Before the checkpoint: read and never needed again. After end: stale
  // copies left behind when the buffer was compacted.
  std::uint8_t* buf = start.get();
  explicit_bzero(buf, ptr - buf);
  explicit_bzero(buf + (end - buf), bufSize - (end - buf));
}

} // namespace os
