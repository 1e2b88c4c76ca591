// An output stream on a file descriptor (a socket or a pipe). Writing out
// waits with select() when the descriptor is full, up to the time-out, unless
// the caller asked not to wait. The destructor writes out what is buffered
// (errors ignored) and closes the descriptor only when closeWhenDone is given.
#pragma once

#include "rdr/BufferedOutStream.h"

namespace rdr {

class FdOutStream : public BufferedOutStream {
public:
  // timeoutMs -1 waits without limit; bufSize 0 gives the default size.
  FdOutStream(int fd, int timeoutMs = -1, int bufSize = 0, bool closeWhenDone = false);
  ~FdOutStream() override;

  void setTimeout(int ms) { timeoutMs = ms; }
  int getFd() const { return fd; }
  // Set whenever writeData runs; the descriptor manager polls and clears it.
  bool wroteSomething = false;

protected:
  // Throws plat::TimedOut when the wait expires, plat::SystemException
  // "write/select" on other failures.
  int writeData(const std::uint8_t* data, int length, bool wait) override;
  int writeDataV(const struct iovec* iov, int n, bool wait) override;
  // One write() on the descriptor.
  virtual int writeFd(const std::uint8_t* data, int length);
  // One writev() on the descriptor.
  virtual int writeFdV(const struct iovec* iov, int n);

  int fd;
  bool closeWhenDone;

private:
  // Repeats one write attempt until it takes bytes, waiting for the
  // descriptor in between when wait is true.
  template <typename Attempt> int writeWaiting(Attempt attempt, bool wait);

  int timeoutMs;
};

} // namespace rdr
