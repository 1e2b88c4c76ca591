#include "net/io/TcpTarget.h"

#include "net/Endpoint.h"
#include "net/io/FdIo.h"
#include "net/io/TcpConnector.h"
#include "plat/LogWriter.h"

#include <memory>

static plat::LogWriter vlog("TcpTarget");

namespace io {

TcpTarget::TcpTarget(const char* host_, int port_, int option_)
    : host(net::unbracketHost(host_)), port(port_), option(option_) {
}

TcpTarget::~TcpTarget() = default;

IoConnector* TcpTarget::connect(IoConnected* cb, int flag) {
  vlog.debug("connecting to %s:%d", host.c_str(), port);
  return new TcpConnector(cb, flag, host.c_str(), port, option);
}

Io* TcpTarget::connectBlocking() {
  TcpConnector connector(nullptr, 0, host.c_str(), port, option);
  Io* io = connector.tryNext(false);
  vlog.debug("connected to %s:%d", host.c_str(), port);
  return io;
}

IoTarget* TcpTarget::clone() const {
  return new TcpTarget(host.c_str(), port, option);
}

} // namespace io
