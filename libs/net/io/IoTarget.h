// Somewhere to connect to. connect() starts an asynchronous attempt under the
// current descriptor manager; connectBlocking() connects at once.
#pragma once

namespace io {

class Io;
class IoConnected;
class IoConnector;

class IoTarget {
public:
  virtual ~IoTarget();
  // The returned connector deletes itself when the attempt ends.
  virtual IoConnector* connect(IoConnected* cb, int flag) = 0;
  // A connected channel owned by the caller; failures are thrown.
  virtual Io* connectBlocking() = 0;
  virtual IoTarget* clone() const = 0;
};

} // namespace io
