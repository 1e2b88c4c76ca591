// The co-process's request stream: a descriptor input stream that overwrites
// the bytes it has handed out each time a checkpoint is taken (after every
// request) and its whole buffer when destroyed, so that the passwords of
// earlier requests do not linger in the root process's memory.
#pragma once

#include "rdr/FdInStream.h"

namespace os {

class ScrubbingFdInStream : public rdr::FdInStream {
public:
  using rdr::FdInStream::FdInStream;
  ~ScrubbingFdInStream() override;

  // Also overwrites everything in the buffer before the checkpoint and after
  // the bytes not yet read.
  void checkpoint() override;
};

} // namespace os
