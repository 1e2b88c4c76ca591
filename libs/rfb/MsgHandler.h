// The receiving side of one protocol connection. Extensions of the protocol
// identify a connection by this object and ask it for the writer that sends
// on the same connection; the handler owns that writer.
#pragma once

namespace rfb {

class MsgWriter;

class MsgHandler {
public:
  virtual ~MsgHandler() = default;

  // The writer of this connection, or nullptr when it can send nothing now.
  virtual MsgWriter* getWriter() = 0;
};

} // namespace rfb
