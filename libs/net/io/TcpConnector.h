// One outgoing TCP connection attempt: resolves the host, tries its addresses
// one after another without blocking (IPv4 before IPv6, each address once),
// and tells the caller's IoConnected how it ended. It deletes itself when
// done. Used by TcpTarget.
#pragma once

#include "net/io/GetAddrInfoException.h"
#include "net/io/IoConnector.h"
#include "net/io/IoHandler.h"
#include "plat/String.h"
#include "plat/Timer.h"

#include <memory>
#include <optional>
#include <set>
#include <string>

namespace io {

class FdIo;
class IoConnected;

class TcpConnector : public IoConnector, public IoHandler, public plat::Timer::Callback {
public:
  // With a callback the first attempt starts from a zero-delay timer;
  // without one nothing starts (the blocking path calls tryNext itself).
  TcpConnector(IoConnected* cb, int flag, const char* host, int port, int option);
  ~TcpConnector() override;

  void throwError() override;
  void cancel(bool keepCallback) override;

  // Takes the next address (resolving first when none is known) and starts
  // connecting to it; returns the channel of a connected or connecting
  // socket, owned by the caller. Failures move on to the next address; the
  // last one is thrown.
  FdIo* tryNext(bool nonBlocking);
  // Whether tryNext has an address left to try (before resolving: maybe).
  bool hasNext() const { return !resolved || !addresses.empty(); }
  int getFlag() const { return flag; }

  void readable(Io*) override {}
  void writable(Io* io) override;
  void closed(Io* io) override;
  bool timerCallback(plat::Timer* timer) override;

private:
  void resolve();
  void attempt();
  void fail();

  IoConnected* cb;
  int flag;
  plat::Timer attemptTimer;
  plat::Timer doneTimer;
  plat::String host;
  int port;
  int option;
  // Raw socket addresses, compared byte by byte: duplicates are tried once
  // and IPv4 (the shorter records) come first.
  std::set<std::string> addresses;
  bool resolved = false;
  std::set<FdIo*> pending;
  std::optional<plat::SystemException> lastSystemError;
  std::optional<GetAddrInfoException> lastResolveError;
  std::optional<plat::Exception> lastOtherError;
};

} // namespace io
