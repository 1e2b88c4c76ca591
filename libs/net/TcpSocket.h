// A socket on a TCP channel: its endpoints come from the channel's local and
// peer address records, built on first request once there is a connection,
// and kept.
#pragma once

#include "net/FdSocket.h"
#include "plat/String.h"

#include <memory>

namespace io {
struct AddressRecord;
}

namespace net {

class TcpSocket : public FdSocket {
public:
  class TcpEndpointInfo : public EndpointInfo {
  public:
    // From an address record; a record without an address leaves it
    // missing.
    explicit TcpEndpointInfo(const io::AddressRecord& record);
    // Nothing known.
    TcpEndpointInfo() = default;

    const char* address(bool required) override;
    int port() override;
    const char* name() override;
    const char* endpoint(bool required) override;
    const char* endpointName(bool required) override;

  private:
    plat::String address_;
    plat::String name_;
    plat::String endpoint_;
    plat::String endpointName_;
    int port_ = -1;
  };

  explicit TcpSocket(io::Io* io);
  explicit TcpSocket(io::IoTarget* target);
  ~TcpSocket() override;

  TcpSocket* asTcpSocket() override { return this; }
  EndpointInfo* localEndpoint() override;
  EndpointInfo* peerEndpoint() override;

private:
  // From the channel's address record, or null when there is none yet.
  std::unique_ptr<TcpEndpointInfo> makeInfo(bool peer);
  EndpointInfo* endpointInfo(std::unique_ptr<TcpEndpointInfo>& info, bool peer);

  std::unique_ptr<TcpEndpointInfo> localInfo;
  std::unique_ptr<TcpEndpointInfo> peerInfo;
  // The answer while neither can be had.
  std::unique_ptr<TcpEndpointInfo> unknownInfo;
};

} // namespace net
