// A TCP host and port to connect to (the host without brackets). option is
// handed on to the connector and the targets it creates.
#pragma once

#include "net/io/IoTarget.h"
#include "plat/String.h"

namespace io {

class TcpTarget : public IoTarget {
public:
  TcpTarget(const char* host, int port, int option = 0);
  ~TcpTarget() override;

  // Starts an asynchronous attempt under the current descriptor manager and
  // timer manager; cb hears how it ended.
  IoConnector* connect(IoConnected* cb, int flag) override;
  // Tries the host's addresses in turn, waiting for each; returns a
  // connected channel owned by the caller.
  Io* connectBlocking() override;
  IoTarget* clone() const override;

  const char* getHost() const { return host.c_str(); }
  int getPort() const { return port; }
  int getOption() const { return option; }

private:
  plat::String host;
  int port;
  int option;
};

} // namespace io
