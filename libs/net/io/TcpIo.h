// A descriptor channel on a TCP socket (Nagle off), with its local and peer
// address records built on first request. The host name an outgoing channel
// was connected to is kept as the peer's name.
#pragma once

#include "net/io/AddressRecord.h"
#include "net/io/FdIo.h"

#include <memory>

namespace io {

class TcpIo : public FdIo {
public:
  TcpIo(int fd, bool closeFd, bool flag = false, int inBufSize = 0, int outBufSize = 0);
  ~TcpIo() override;

  TcpIo* asTcpIo() override { return this; }
  // The peer's endpoint text; the descriptor number when there is no peer.
  const char* getName() override;
  // The peer's endpoint text, or nullptr.
  const char* getPeerName() override;

  const AddressRecord& localAddress();
  const AddressRecord& peerAddress();
  void setHostName(const char* host) { name_ = plat::String(host); }

private:
  plat::String name_;
  std::unique_ptr<AddressRecord> localAddr;
  std::unique_ptr<AddressRecord> peerAddr;
};

} // namespace io
