// Takes the channels a listener accepted; the acceptor owns each channel.
#pragma once

namespace io {

class Io;

class IoAcceptor {
public:
  virtual void accepted(Io* io, bool incoming) = 0;
  virtual ~IoAcceptor();
};

} // namespace io
