// A listening TCP socket on IPv6 or IPv4, on every address or on loopback
// only. accept() wraps each new connection in a TcpIo.
#pragma once

#include "net/io/AddressRecord.h"
#include "net/io/FdListener.h"

#include <memory>

namespace io {

class TcpListener : public FdListener {
public:
  // With fd >= 0 adopts that listening descriptor. family AF_INET6 or 0
  // tries IPv6 first (0 falls back to IPv4), AF_INET listens on IPv4. Port 0
  // lets the system choose. Failures throw plat::SystemException.
  TcpListener(int port, int family, bool localhostOnly, int fd = -1);
  ~TcpListener() override;

  // A new channel owning the connection, or nullptr when none is pending;
  // other failures throw "unable to accept new connection".
  FdIo* accept() override;
  const AddressRecord& getLocalAddress();

private:
  bool closeFd = true;
  bool localhostOnly;
  std::unique_ptr<AddressRecord> localAddr;
};

} // namespace io
