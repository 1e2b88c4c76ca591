#include "net/Socket.h"

#include "net/AddressChangeCallback.h"
#include "net/ConnectionFilter.h"
#include "net/EndpointInfo.h"
#include "net/SocketServer.h"
#include "net/io/Io.h"
#include "plat/LogWriter.h"

static plat::LogWriter vlog("Socket");

namespace net {

SocketServer::~SocketServer() = default;
AddressChangeCallback::~AddressChangeCallback() = default;
ConnectionFilter::~ConnectionFilter() = default;
EndpointInfo::~EndpointInfo() = default;

Socket::~Socket() = default;

void Socket::cancelConnect(bool) {
}

void Socket::closeIo(bool flush, bool tellHandler) {
  io::Io* channel = io;
  io = nullptr;
  if (channel)
    channel->shutdown(flush, tellHandler);
}

void Socket::shutdown() {
  cancelConnect(true);
  closeIo(true, true);
}

void Socket::close() {
  cancelConnect(true);
  closeIo(false, true);
}

void Socket::setTimeout(int ms) {
  if (io)
    io->setTimeout(ms);
}

} // namespace net
