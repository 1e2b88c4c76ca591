// A socket on a descriptor channel, or the outgoing socket for a target that
// is not connected yet (with the connector of the attempt in progress). Its
// own endpoint answers are empty texts and port -1.
#pragma once

#include "net/EndpointInfo.h"
#include "net/Socket.h"

#include <memory>

namespace io {
class IoConnector;
class IoTarget;
} // namespace io

namespace net {

class FdSocket : public Socket, public EndpointInfo {
public:
  // Takes ownership of the channel.
  explicit FdSocket(io::Io* io);
  // An outgoing socket; takes ownership of the target.
  explicit FdSocket(io::IoTarget* target);
  // Cancels a pending attempt (without callback), drops the target, closes
  // the channel without writing out and without telling its handler.
  ~FdSocket() override;

  FdSocket* fdSocket() override { return this; }
  EndpointInfo* localEndpoint() override { return this; }
  EndpointInfo* peerEndpoint() override { return this; }

  const char* address(bool) override { return ""; }
  int port() override { return -1; }
  const char* name() override { return ""; }
  const char* endpoint(bool) override { return ""; }
  const char* endpointName(bool) override { return ""; }

  io::IoTarget* ioTarget() const { return target.get(); }
  io::IoConnector* ioConnector() const { return connector; }
  void setConnector(io::IoConnector* c) { connector = c; }
  // Takes the channel of a completed outgoing connection.
  void setIo(io::Io* io_) { io = io_; }
  // Gives the channel up without closing it.
  io::Io* releaseIo();
  // Puts the output in waiting mode and writes out everything buffered.
  void flush();

  // Error number of a failed outgoing connection, 0 otherwise.
  int connectErrno = 0;

protected:
  void cancelConnect(bool keepCallback) override;

  std::unique_ptr<io::IoTarget> target;
  io::IoConnector* connector = nullptr;
};

} // namespace net
