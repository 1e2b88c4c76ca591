// A protocol extension of a connection: it reads its own messages from the
// connection's framed input and is told when connections come and go and when
// they can take output. Connections are identified by their handler object,
// which the extension borrows.
#pragma once

namespace rdr {
class FramedInStream;
}

namespace rfb {

class MsgHandler;

class Extension {
public:
  virtual ~Extension() = default;

  virtual const char* getName() const = 0;
  // Reads one message of this extension; false when it is not complete yet.
  virtual bool readMsg(rdr::FramedInStream* is, MsgHandler* connection) = 0;
  // The connection can take output.
  virtual void checkOutput(MsgHandler* /*connection*/) {}
  virtual void newConnection(MsgHandler* /*connection*/) {}
  virtual void closeConnection(MsgHandler* /*connection*/) {}
  virtual void extensionEnabled(MsgHandler* /*connection*/, const char* /*name*/) {}
  virtual void extensionDisabled(MsgHandler* /*connection*/, const char* /*name*/) {}
};

} // namespace rfb
