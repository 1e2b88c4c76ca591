// Told how an outgoing connection attempt ended: exactly one of the three
// calls, once.
#pragma once

namespace io {

class Io;
class IoConnector;

class IoConnected {
public:
  virtual ~IoConnected();
  // The attempt succeeded; the user owns io (not yet served by any manager).
  virtual void connected(IoConnector* connector, Io* io) = 0;
  // The attempt failed; connector->throwError() tells why.
  virtual void connectFailed(IoConnector* connector) = 0;
  // The attempt was cancelled with its callback kept.
  virtual void connectCancelled() {}
};

} // namespace io
