// A byte channel on one non-blocking, close-on-exec descriptor. It owns its
// descriptor input and output streams (and, optionally, one more object
// deleted last). Served by a descriptor manager, it is deleted by that
// manager when cleaned up; unserved, by its owner.
#pragma once

#include "net/io/Io.h"
#include "net/io/IoTarget.h"
#include "plat/String.h"
#include "rdr/FdInStream.h"
#include "rdr/FdOutStream.h"

#include <memory>

namespace io {

class FdManager;

class FdIo : public Io {
public:
  // Makes fd non-blocking and not inheritable; closeFd: the destructor closes
  // it. flag is kept for the channel's user. Buffer sizes 0 give the
  // defaults. A bulk framed connection (file transfer, chat) passes
  // rdr::FramedOutStream::bulkBufferSize as outBufSize and writes through a
  // framed stream made with bulk = true.
  FdIo(int fd, bool closeFd, bool flag = false, int inBufSize = 0, int outBufSize = 0);
  ~FdIo() override;

  void setHandler(IoHandler* handler, bool wantRead) override;
  void shutdown(bool flush, bool tellHandler) override;
  FdIo* asFdIo() override { return this; }
  // The descriptor number.
  const char* getName() override;
  const char* getPeerName() override { return nullptr; }
  void setTimeout(int ms) override;

  // The socket's pending error (SO_ERROR), read once and cached.
  int connectError();

  rdr::FdInStream* getInStream() { return in.get(); }
  rdr::FdOutStream* getOutStream() { return out.get(); }
  int getFd() const { return fd; }
  bool getFlag() const { return flag; }
  FdManager* getFdMgr() const { return fdMgr; }
  // Gives the channel an object to keep until it is deleted.
  void setOwned(std::unique_ptr<IoTarget> object) { owned = std::move(object); }

  // fcntl helpers; failures throw plat::SystemException "setBlocking" /
  // "setInheritable".
  static void setBlocking(int fd, bool blocking);
  static void setInheritable(int fd, bool inheritable);

protected:
  std::unique_ptr<rdr::FdInStream> in;
  std::unique_ptr<rdr::FdOutStream> out;
  std::unique_ptr<IoTarget> owned;
  FdManager* fdMgr = nullptr;
  bool closeFd;
  bool flag;
  int fd;
  int soError = 0;
  plat::String name;

private:
  friend class FdManager;
};

// Ignores SIGPIPE, once per process, so that writing to a closed peer is an
// error return instead of death.
void ignoreSigPipe();

} // namespace io
