// A byte channel: the abstract face of a descriptor channel that sockets own.
// Kinds answer asFdIo()/asTcpIo()/asUnixIo() with themselves.
#pragma once

namespace io {

class IoHandler;
class FdIo;
class TcpIo;
class UnixIo;

class Io {
public:
  Io() = default;
  Io(const Io&) = delete;
  Io& operator=(const Io&) = delete;

  // With a handler the channel is served by the current descriptor manager,
  // which tells the handler of its events; with nullptr it is served no more.
  virtual void setHandler(IoHandler* handler, bool wantRead) = 0;
  // Closes the channel, after writing out what is buffered when flush is
  // true; tellHandler decides whether the handler hears closed(). The channel
  // is deleted (by its manager when served, at once otherwise).
  virtual void shutdown(bool flush, bool tellHandler) = 0;
  virtual FdIo* asFdIo() { return nullptr; }
  virtual TcpIo* asTcpIo() { return nullptr; }
  virtual UnixIo* asUnixIo() { return nullptr; }
  // A text naming the channel (owned by the channel).
  virtual const char* getName() = 0;
  // The peer's name, or nullptr (owned by the channel).
  virtual const char* getPeerName() = 0;
  virtual void setTimeout(int ms) = 0;
  virtual ~Io();
};

} // namespace io
