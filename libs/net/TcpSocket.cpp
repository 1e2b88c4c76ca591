#include "net/TcpSocket.h"

#include "net/Endpoint.h"
#include "net/io/Io.h"
#include "net/io/TcpIo.h"
#include "plat/LogWriter.h"

static plat::LogWriter vlog("TcpSocket");

namespace net {

TcpSocket::TcpEndpointInfo::TcpEndpointInfo(const io::AddressRecord& record)
    : address_(record.address), endpointName_(record.endpoint), port_(record.port) {
  name_ = record.name.isNull() || record.name.length() == 0 ? record.address : record.name;
  if (port_ < 0)
    throw plat::Exception("port() failed");
  if (address_.isNull())
    throw plat::Exception("address() failed");
  endpoint_ = formatEndpoint(address_.c_str(), port_, -1, -1);
}

const char* TcpSocket::TcpEndpointInfo::address(bool required) {
  if (address_.isNull()) {
    if (required)
      throw plat::Exception("address() failed");
    return "<bad address>";
  }
  return address_.c_str();
}

int TcpSocket::TcpEndpointInfo::port() {
  if (port_ < 0)
    throw plat::Exception("port() failed");
  return port_;
}

const char* TcpSocket::TcpEndpointInfo::name() {
  if (name_.isNull())
    throw plat::Exception("name() failed");
  return name_.c_str();
}

const char* TcpSocket::TcpEndpointInfo::endpoint(bool required) {
  if (endpoint_.isNull()) {
    if (required)
      throw plat::Exception("endpoint() failed");
    return "<bad endpoint>";
  }
  return endpoint_.c_str();
}

const char* TcpSocket::TcpEndpointInfo::endpointName(bool required) {
  if (endpointName_.isNull()) {
    if (required)
      throw plat::Exception("endpointName() failed");
    return "<bad endpoint>";
  }
  return endpointName_.c_str();
}

TcpSocket::TcpSocket(io::Io* io_) : FdSocket(io_) {
}

TcpSocket::TcpSocket(io::IoTarget* target_) : FdSocket(target_) {
}

TcpSocket::~TcpSocket() = default;

std::unique_ptr<TcpSocket::TcpEndpointInfo> TcpSocket::makeInfo(bool peer) {
  io::TcpIo* tcp = io ? io->asTcpIo() : nullptr;
  if (!tcp)
    return nullptr;
  try {
    return std::unique_ptr<TcpEndpointInfo>(
        new TcpEndpointInfo(peer ? tcp->peerAddress() : tcp->localAddress()));
  } catch (plat::Exception& e) {
    vlog.debug("no %s endpoint: %s", peer ? "peer" : "local", e.str());
    return nullptr;
  }
}

EndpointInfo* TcpSocket::endpointInfo(std::unique_ptr<TcpEndpointInfo>& info, bool peer) {
  if (!info)
    info = makeInfo(peer);
  if (info)
    return info.get();
  // Nothing to learn from yet (a connection still being made): answer as
  // unknown without keeping that answer, so that the real endpoint is learnt
  // once the connection is made.
  if (!unknownInfo)
    unknownInfo.reset(new TcpEndpointInfo());
  return unknownInfo.get();
}

EndpointInfo* TcpSocket::localEndpoint() {
  return endpointInfo(localInfo, false);
}

EndpointInfo* TcpSocket::peerEndpoint() {
  return endpointInfo(peerInfo, true);
}

} // namespace net
