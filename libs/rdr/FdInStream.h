// An input stream on a file descriptor (a socket or a pipe). A read that finds
// nothing waits with select() up to the time-out, or, in non-waiting mode,
// delivers nothing so the reader's checkpoint discipline takes over. The
// descriptor is closed by the destructor only when closeWhenDone is given.
#pragma once

#include "rdr/BufferedInStream.h"

namespace rdr {

class FdInStream : public BufferedInStream {
public:
  // timeoutMs -1 waits without limit; bufSize 0 gives the default size.
  FdInStream(int fd, int timeoutMs = -1, int bufSize = 0, bool closeWhenDone = false,
             bool nonWaiting = false);
  ~FdInStream() override;

  void setTimeout(int ms) { timeoutMs = ms; }
  void setNonWaiting(bool on) {
    nonWaiting = on;
    drained = false;
  }
  bool isNonWaiting() const { return nonWaiting; }
  int getFd() const { return fd; }
  // For a descriptor read only when select() finds it readable (the
  // descriptor manager turns this on): in non-waiting mode a read that fills
  // less than it was offered shows the descriptor drained, and further reads
  // deliver nothing, without a system call, until markReadable() says that
  // select() found it readable again.
  void setSelectDriven(bool on) {
    selectDriven = on;
    drained = false;
  }
  void markReadable() { drained = false; }

protected:
  // Throws EndOfStream at end of file, plat::TimedOut when the wait expires,
  // plat::SystemException "read/select" on other failures.
  int readData(std::uint8_t* buffer, int length) override;
  // One read() on the descriptor.
  virtual int readFd(std::uint8_t* buffer, int length);

  int fd;
  bool closeWhenDone;
  bool nonWaiting;
  bool selectDriven = false;
  bool drained = false;
  int timeoutMs;
};

} // namespace rdr
