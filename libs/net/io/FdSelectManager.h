// The descriptor manager that waits with select(): the main loop calls
// doSelect() with its own descriptors and time-out, and the served channels,
// listeners and due timers are handled in the same pass.
#pragma once

#include "net/io/FdManager.h"

#include <sys/select.h>

namespace io {

class FdSelectManager : public FdManager {
public:
  FdSelectManager() : FdManager(nullptr) {}

  // One pass: adds every served descriptor to the sets (missing sets are
  // replaced by empty ones), waits at most timeoutMs (-1 without limit) or
  // until the next timer is due, queues and runs the work. Returns select()'s
  // result, 1 after a signal (the sets are then cleared), or a negative value
  // on another error. The caller then checks its own descriptors.
  int doSelect(int nfds, fd_set* readFds, fd_set* writeFds, fd_set* exceptFds, int timeoutMs);

private:
  void finishWriteOuts();
};

} // namespace io
