// Waiting for one descriptor with select(), shared by the descriptor streams.
// A descriptor at or above FD_SETSIZE cannot go into an fd_set and is refused
// with a plat::Exception instead.
#pragma once

namespace rdr {

// Waits until fd is readable (or writable) for at most timeoutMs (-1 without
// limit). Returns select()'s result: 1 ready, 0 timed out, -1 with errno set.
int waitForFd(int fd, bool forWrite, int timeoutMs);

} // namespace rdr
