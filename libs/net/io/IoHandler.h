// What a served channel tells its user: data to read, room to write (after
// buffered output went out), and that it was closed.
#pragma once

namespace io {

class Io;

class IoHandler {
public:
  virtual void readable(Io* io) = 0;
  virtual void writable(Io*) {}
  // The channel is about to be deleted by its manager.
  virtual void closed(Io*) {}
  virtual ~IoHandler();
};

} // namespace io
