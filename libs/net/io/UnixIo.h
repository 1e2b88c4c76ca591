// A descriptor channel on a Unix stream socket whose streams also carry
// descriptors (SCM_RIGHTS). The channel owns its socket and its streams;
// descriptors still held by the streams are closed with them.
#pragma once

#include "net/io/FdIo.h"
#include "net/io/UnixInStream.h"
#include "net/io/UnixOutStream.h"

namespace io {

class UnixIo : public FdIo {
public:
  // Takes over a connected socket.
  explicit UnixIo(int fd);
  // Connects to the socket at path. A path that does not fit the socket
  // address throws plat::SystemException "connect" (ENAMETOOLONG) before
  // anything is opened; other failures throw "socket" or "connect".
  explicit UnixIo(const char* path);
  ~UnixIo() override;

  UnixIo* asUnixIo() override { return this; }
  virtual bool canPassFds() { return true; }

  UnixInStream* getUnixInStream();
  UnixOutStream* getUnixOutStream();

private:
  void setUp();
};

} // namespace io
